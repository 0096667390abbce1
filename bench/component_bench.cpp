// A Check through the component's IDispatch::Invoke beside the same Check called directly on
// the C++ control: what late binding across the binary boundary adds to the analysis.
#include <benchmark/benchmark.h>

#include <string>

#include "Pellix.h"
#include "bench/control_setup.h"
#include "control/alg_v1s.h"

namespace {

using pellix::bench::kParameters;

void BM_CheckDirect(benchmark::State& state) {
  pellix::ALG_V1S control;
  pellix::bench::Calibrated(control);
  for (auto _ : state) {
    control.Check();
    benchmark::DoNotOptimize(control.panel().LBL_MSG.caption().data());
  }
}
BENCHMARK(BM_CheckDirect);

// Invoke by dispatch identifier with no arguments, as a late-binding host calls a method.
HRESULT CallMethod(_ALG_V1S* control, DISPID id) {
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  VARIANT result;
  PellixVariantInit(&result);
  const HRESULT status = control->lpVtbl->Invoke(control, id, &IID_IUnknown, 0x409, DISPATCH_METHOD,
                                                 &none, &result, nullptr, nullptr);
  PellixVariantClear(&result);
  return status;
}

void PutText(_ALG_V1S* control, const std::string& text) {
  BSTR value = PellixSysAllocStringUtf8(text.c_str());
  control->lpVtbl->put_DATAstr(control, value);
  PellixSysFreeString(value);
}

void BM_CheckThroughInvoke(benchmark::State& state) {
  IClassFactory* factory = nullptr;
  _ALG_V1S* control = nullptr;
  if (DllGetClassObject(&CLSID_ALG_V1S, &IID_IClassFactory, reinterpret_cast<void**>(&factory)) <
          0 ||
      factory->lpVtbl->CreateInstance(factory, nullptr, &IID__ALG_V1S,
                                      reinterpret_cast<void**>(&control)) < 0) {
    state.SkipWithError("cannot create the control");
    return;
  }
  factory->lpVtbl->Release(factory);
  PutText(control, kParameters);
  CallMethod(control, DISPID_ALG_V1S_Initalize);
  PutText(control, pellix::bench::TakePath());
  CallMethod(control, DISPID_ALG_V1S_Calibrate);
  for (auto _ : state) {
    if (CallMethod(control, DISPID_ALG_V1S_Check) != S_OK) state.SkipWithError("Check failed");
  }
  control->lpVtbl->Release(control);
}
BENCHMARK(BM_CheckThroughInvoke);

}  // namespace
