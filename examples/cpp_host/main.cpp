// A C++ host of the Pellix component: calibrates on alex_calibrate_1..3.smp, checks
// alex_check_01..02.smp and prints each check's result, then shows how a failure arrives (a take
// that does not exist). Every reference, string and value is owned by a wrapper of PellixPtr.hpp,
// so nothing is released by hand, on the way out of an error as on the normal one.
//
//   pellix_cpp_host SAMPLES_FOLDER [PARAMETERS]
#include <cstdio>
#include <string>

#include "PellixPtr.hpp"

namespace owned = pellix::owned;

namespace {

using Control = owned::Ptr<_ALG_V1S>;

owned::Ptr<_ALG_V1S> NewControl() {
  owned::Ptr<PellixIClassFactory> factory;
  owned::Check(
      PellixDllGetClassObject(&CLSID_ALG_V1S, &PELLIX_IID_IClassFactory, factory.put_void()));
  Control control;
  owned::Check(
      factory.vtbl()->CreateInstance(factory.get(), nullptr, &IID__ALG_V1S, control.put_void()));
  return control;
}

void Put(const Control& c, PellixHRESULT (*put)(_ALG_V1S*, PellixBSTR), const std::string& text) {
  owned::Check(put(c.get(), owned::Bstr(text).get()));
}

std::string Get(const Control& c, PellixHRESULT (*get)(_ALG_V1S*, PellixBSTR*)) {
  owned::Bstr value;
  owned::Check(get(c.get(), value.put()));
  return value.Utf8();
}

void Call(const Control& c, PellixHRESULT (*method)(_ALG_V1S*, PellixVARIANT*)) {
  owned::Variant result;
  owned::Check(method(c.get(), result.put()));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: pellix_cpp_host SAMPLES_FOLDER [PARAMETERS]\n");
    return 2;
  }
  const std::string folder = argv[1];
  try {
    const Control c = NewControl();
    const _ALG_V1SVtbl* t = c.vtbl();
    Put(c, t->put_DATAstr, argc == 3 ? argv[2] : "000023000005000000");
    Call(c, t->Initalize);
    for (int i = 1; i <= 3; ++i) {
      Put(c, t->put_DATAstr, folder + "/alex_calibrate_" + std::to_string(i) + ".smp");
      Call(c, t->Calibrate);
    }
    std::printf("calibrated: CAL_spT=%s\n", Get(c, t->get_CAL_spT).c_str());
    for (int i = 1; i <= 2; ++i) {
      Put(c, t->put_DATAstr, folder + "/alex_check_0" + std::to_string(i) + ".smp");
      Call(c, t->Check);
      std::printf("check %d: CR_msgX=%s LIEstress=%s GLBstress=%s EXCstress=%s\n", i,
                  Get(c, t->get_CR_msgX).c_str(), Get(c, t->get_LIEstress).c_str(),
                  Get(c, t->get_GLBstress).c_str(), Get(c, t->get_EXCstress).c_str());
    }
    try {
      Put(c, t->put_DATAstr, folder + "/no_such_take.smp");
      Call(c, t->Check);
    } catch (const owned::Failure& failure) {
      std::printf("missing take: error %d\n", failure.number());
    }
  } catch (const owned::Failure& failure) {
    std::fprintf(stderr, "pellix_cpp_host: error %d: %s\n", failure.number(), failure.what());
    return 1;
  }
  // Every wrapper has given back what it held: nothing of the component remains.
  return PellixDllCanUnloadNow() == PELLIX_S_OK ? 0 : 1;
}
