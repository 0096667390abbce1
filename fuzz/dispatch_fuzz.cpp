// Fuzzes the component's late binding: Invoke by arbitrary dispatch identifier, with arbitrary
// flags and argument values, on an instance made by the class factory, as a host would.
//
// Each call is read from the input: an identifier (mostly one of the interface's, sometimes any
// number), the flags, up to three arguments of any type the value record can carry (strings of
// arbitrary UTF-16 units, lone surrogates included; references to values), the named argument of
// a put or not, and whether a result and an exception record are asked for. The instances read
// their sample files from disk, as a host's do: the one take lies in a private folder, named by
// its whole path (the working folder stays the fuzzer's, which reads its corpus by relative
// paths). Every
// input starts from a fresh engine state for the thread's instances. Besides the sanitizers and the
// leak checker, it checks that every status is one the interface documents and that the instance is
// released for good at the end.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "Pellix.h"
#include "component/control_object.h"
#include "control/interface_table.h"
#include "engine/tarvo_alg1.h"
#include "fuzz/fuzz_support.h"

namespace {

using pellix::fuzzing::Fail;

constexpr const char* kTarget = "pellix_fuzz_dispatch";
const IID kNoInterface{};  // Invoke's reserved interface argument

// The storage a call's arguments point into; lives until the call's values are cleared.
struct Arguments {
  std::vector<VARIANT> values;
  std::vector<VARIANT> referenced;
  std::int16_t i2 = 0;
  std::int32_t i4 = 0;
  double r8 = 0;
  BSTR text = nullptr;

  ~Arguments() {
    for (VARIANT& v : values) {
      if ((v.vt & VT_BYREF) == 0) PellixVariantClear(&v);
    }
    for (VARIANT& v : referenced) PellixVariantClear(&v);
    PellixSysFreeString(text);
  }
};

std::filesystem::path& Folder() {
  static std::filesystem::path folder;
  return folder;
}

void RemoveFolder() {
  std::filesystem::remove_all(Folder());
}

// The take's whole path, in a private folder made on first use and removed when the process
// ends.
const std::string& TakePath() {
  static const std::string path = [] {
    std::string pattern = std::filesystem::temp_directory_path() / "pellix-fuzz-dispatch-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) Fail(kTarget, "no private folder");
    Folder() = pattern;
    std::atexit(RemoveFolder);
    const std::vector<std::uint8_t> take = pellix::fuzzing::SawtoothTake(9000);
    std::ofstream(Folder() / "a.smp", std::ios::binary)
        .write(reinterpret_cast<const char*>(take.data()),
               static_cast<std::streamsize>(take.size()));
    return (Folder() / "a.smp").string();
  }();
  return path;
}

BSTR Text(FuzzedDataProvider& in) {
  const std::size_t units = in.ConsumeIntegralInRange<std::size_t>(0, 24);
  std::u16string text;
  for (std::size_t i = 0; i < units; ++i) {
    text.push_back(in.ConsumeBool() ? static_cast<char16_t>(in.ConsumeIntegralInRange(32, 126))
                                    : in.ConsumeIntegral<char16_t>());
  }
  if (in.ConsumeBool()) return PellixSysAllocStringUtf8(TakePath().c_str());
  return PellixSysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                                 static_cast<UINT>(text.size()));
}

VARIANT Value(FuzzedDataProvider& in, Arguments& args) {
  VARIANT v;
  PellixVariantInit(&v);
  switch (in.ConsumeIntegralInRange(0, 13)) {
    case 0:
      break;  // Empty
    case 1:
      v.vt = VT_NULL;
      break;
    case 2:
      v.vt = VT_I2;
      v.u.iVal = in.ConsumeIntegral<std::int16_t>();
      break;
    case 3:
      v.vt = VT_I4;
      v.u.lVal = in.ConsumeIntegral<std::int32_t>();
      break;
    case 4:
      v.vt = VT_R4;
      v.u.fltVal = in.ConsumeFloatingPoint<float>();
      break;
    case 5:
      v.vt = VT_R8;
      v.u.dblVal = in.ConsumeFloatingPoint<double>();
      break;
    case 6:
    case 7:
      v.vt = VT_BSTR;
      v.u.bstrVal = Text(in);
      break;
    case 8:
      v.vt = VT_BOOL;
      v.u.boolVal = in.ConsumeBool() ? VARIANT_TRUE : VARIANT_FALSE;
      break;
    case 9:
      v.vt = VT_UI1;
      v.u.bVal = in.ConsumeIntegral<std::uint8_t>();
      break;
    case 10:
      v.vt = in.ConsumeBool() ? VT_DISPATCH : VT_UNKNOWN;
      v.u.punkVal = nullptr;
      break;
    case 11:
      v.vt = VT_ERROR;
      v.u.scode = in.ConsumeIntegral<std::int32_t>();
      break;
    case 12: {  // a reference to a number or a string
      switch (in.ConsumeIntegralInRange(0, 2)) {
        case 0:
          args.i2 = in.ConsumeIntegral<std::int16_t>();
          v.vt = VT_BYREF | VT_I2;
          v.u.piVal = &args.i2;
          break;
        case 1:
          args.r8 = in.ConsumeFloatingPoint<double>();
          v.vt = VT_BYREF | VT_R8;
          v.u.pdblVal = &args.r8;
          break;
        default:
          PellixSysFreeString(args.text);
          args.text = Text(in);
          v.vt = VT_BYREF | VT_BSTR;
          v.u.pbstrVal = &args.text;
      }
      break;
    }
    default: {  // a reference to another value
      VARIANT inner;
      PellixVariantInit(&inner);
      inner.vt = VT_BSTR;
      inner.u.bstrVal = Text(in);
      args.referenced.push_back(inner);
      v.vt = VT_BYREF | VT_VARIANT;
      v.u.pvarVal = &args.referenced.back();
    }
  }
  return v;
}

bool Documented(HRESULT status) {
  static const HRESULT kStatuses[] = {S_OK,
                                      DISP_E_MEMBERNOTFOUND,
                                      DISP_E_BADPARAMCOUNT,
                                      DISP_E_PARAMNOTOPTIONAL,
                                      DISP_E_TYPEMISMATCH,
                                      DISP_E_EXCEPTION,
                                      DISP_E_BADINDEX,
                                      E_INVALIDARG,
                                      E_POINTER,
                                      E_OUTOFMEMORY,
                                      E_NOTIMPL};
  return std::ranges::find(kStatuses, status) != std::end(kStatuses);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  *pellix::component::ThreadEngineState() = Tarvo_alg1::SharedState{};

  IClassFactory* factory = nullptr;
  if (DllGetClassObject(&CLSID_ALG_V1S, &IID_IClassFactory, reinterpret_cast<void**>(&factory)) !=
      S_OK) {
    Fail(kTarget, "no class factory");
  }
  IDispatch* control = nullptr;
  if (factory->lpVtbl->CreateInstance(factory, nullptr, &IID_IDispatch,
                                      reinterpret_cast<void**>(&control)) != S_OK) {
    Fail(kTarget, "no instance");
  }
  factory->lpVtbl->Release(factory);

  const auto members = pellix::InterfaceTable();
  for (int call = 0; call < 16 && in.remaining_bytes() > 0; ++call) {
    DISPID dispid = in.ConsumeIntegral<std::int32_t>();
    if (!in.ConsumeBool()) {
      dispid = members[in.ConsumeIntegralInRange<std::size_t>(0, members.size() - 1)].dispid;
    }
    WORD flags = in.ConsumeIntegral<WORD>();
    if (in.ConsumeBool()) {
      const WORD kinds[] = {DISPATCH_METHOD, DISPATCH_PROPERTYGET, DISPATCH_PROPERTYPUT,
                            DISPATCH_METHOD | DISPATCH_PROPERTYGET};
      flags = kinds[in.ConsumeIntegralInRange(0, 3)];
    }
    Arguments args;
    args.referenced.reserve(3);  // the references into it stay valid
    const UINT count = in.ConsumeIntegralInRange<UINT>(0, 3);
    for (UINT i = 0; i < count; ++i) args.values.push_back(Value(in, args));
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{args.values.data(), &named, count, count > 0 && in.ConsumeBool() ? 1u : 0u};
    if (params.cNamedArgs == 1 && in.ConsumeBool()) named = in.ConsumeIntegral<std::int32_t>();

    VARIANT result;
    PellixVariantInit(&result);
    EXCEPINFO exception;
    std::memset(&exception, 0, sizeof exception);
    UINT bad_argument = 0;
    const bool want_result = in.ConsumeBool();
    const bool want_exception = in.ConsumeBool();
    const HRESULT status = control->lpVtbl->Invoke(
        control, dispid, &kNoInterface, 0, flags, &params, want_result ? &result : nullptr,
        want_exception ? &exception : nullptr, &bad_argument);
    if (!Documented(status)) {
      std::fprintf(stderr, "status 0x%08x\n", static_cast<unsigned>(status));
      Fail(kTarget, "a status Invoke does not document");
    }
    if (status == DISP_E_EXCEPTION && want_exception && exception.bstrDescription == nullptr) {
      Fail(kTarget, "an exception without a description");
    }
    PellixVariantClear(&result);
    PellixSysFreeString(exception.bstrSource);
    PellixSysFreeString(exception.bstrDescription);
    PellixSysFreeString(exception.bstrHelpFile);
  }
  if (control->lpVtbl->Release(control) != 0) Fail(kTarget, "the instance outlived its release");
  return 0;
}
