// The component as hosts see it: every member by position, by dispatch identifier and by name
// against the C++ interface, the dispatch interface's statuses, errors and their descriptions,
// persistence over a host bag, the site, threads, reference counts and type information.
#include <gtest/gtest.h>

#include <cstddef>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "component_host.h"
#include "control/alg_v1s.h"
#include "control/interface_table.h"
#include "interface_golden.h"
#include "platform/error.h"
#include "recording_site.h"

namespace pellix::testing {
namespace {

// The interface as hosts rely on it, position by position.
const std::vector<GoldenPosition> kInterface = GoldenPositions();
const int kMembers = static_cast<int>(kInterface.size());

static_assert(sizeof(VARIANT) == 24 && offsetof(VARIANT, u) == 8);
static_assert(sizeof(_ALG_V1SVtbl) == (7 + 52) * sizeof(void*));
static_assert(offsetof(EXCEPINFO, bstrDescription) == 16 && offsetof(EXCEPINFO, scode) == 56);
static_assert(offsetof(TYPEATTR, lpstrSchema) == 32 && offsetof(TYPEATTR, cFuncs) == 48 &&
              offsetof(TYPEATTR, tdescAlias) == 64 && sizeof(TYPEATTR) == 96);
static_assert(offsetof(FUNCDESC, funckind) == 24 && offsetof(FUNCDESC, oVft) == 40 &&
              offsetof(FUNCDESC, elemdescFunc) == 48 && offsetof(FUNCDESC, wFuncFlags) == 80);

Ref<_ALG_V1S> NewControl(TestSite& site, bool init_new = true) {
  Ref<IClassFactory> factory;
  EXPECT_EQ(DllGetClassObject(&CLSID_ALG_V1S, &IID_IClassFactory, factory.out()), S_OK);
  Ref<_ALG_V1S> control;
  EXPECT_EQ(factory->lpVtbl->CreateInstance(factory.get(), nullptr, &IID__ALG_V1S, control.out()),
            S_OK);
  auto with_site = Query<IObjectWithSite>(control.get(), IID_IObjectWithSite);
  EXPECT_EQ(with_site->lpVtbl->SetSite(with_site.get(), site.unknown()), S_OK);
  if (init_new) {
    auto persist = Query<IPersistPropertyBag>(control.get(), IID_IPersistPropertyBag);
    EXPECT_EQ(persist->lpVtbl->InitNew(persist.get()), S_OK);
  }
  return control;
}

// What one call gave, comparable across bindings: a tagged value or an error number.
std::string Outcome(const Value& v) {
  switch (v.type()) {
    case ValueType::kEmpty:
      return "empty";
    case ValueType::kInteger:
      return "i2 " + std::to_string(v.integer());
    case ValueType::kString:
      return "text " + v.string();
    default:
      return "other";
  }
}
std::string Outcome(VARIANT& v) {
  std::string out = v.vt == VT_EMPTY  ? "empty"
                    : v.vt == VT_I2   ? "i2 " + std::to_string(v.u.iVal)
                    : v.vt == VT_BSTR ? "text " + Utf8(v.u.bstrVal)
                                      : "other";
  PellixVariantClear(&v);
  return out;
}
std::string Failure(HRESULT status) {
  return "error " + std::to_string(PellixErrorNumber(status)) + " " + LastDescription();
}

// One way of reaching members: the C++ interface, the function table by position, Invoke by
// dispatch identifier, Invoke after GetIDsOfNames.
class Binding {
 public:
  virtual ~Binding() = default;
  // Position p with argument `text` for a put (a number for the integer and variant puts).
  virtual std::string Run(int p, const std::string& text) = 0;
};

class CppBinding final : public Binding {
 public:
  CppBinding() { control_.InitProperties(); }
  std::string Run(int p, const std::string& text) override {
    const InterfaceMember& m = InterfaceTable()[p];
    Value argument;
    if (kInterface[p].kind == 'p') {
      argument = kInterface[p].type == 's'
                     ? Value::String(text)
                     : Value::Integer(static_cast<std::int16_t>(std::stoi(text)));
    }
    try {
      return Outcome(m.invoke(control_, argument));
    } catch (const PlatformError& e) {
      return "error " + std::to_string(e.number()) + " " + std::string(e.description());
    }
  }

 private:
  RecordingSite site_;
  ALG_V1S control_{&site_};
};

class PositionBinding final : public Binding {
 public:
  std::string Run(int p, const std::string& text) override {
    const auto* entries = reinterpret_cast<void (*const*)()>(control_->lpVtbl);
    void (*entry)() = entries[7 + p];
    _ALG_V1S* c = control_.get();
    const GoldenPosition& e = kInterface[p];
    HRESULT status = S_OK;
    std::string value = "empty";
    if (e.kind == 'm') {
      VARIANT result;
      status = reinterpret_cast<HRESULT (*)(_ALG_V1S*, VARIANT*)>(entry)(c, &result);
      if (status >= 0) value = Outcome(result);
    } else if (e.kind == 'g' && e.type == 's') {
      BSTR out = nullptr;
      status = reinterpret_cast<HRESULT (*)(_ALG_V1S*, BSTR*)>(entry)(c, &out);
      if (status >= 0) value = "text " + Take(out);
    } else if (e.kind == 'g' && e.type == 'i') {
      std::int16_t out = 0;
      status = reinterpret_cast<HRESULT (*)(_ALG_V1S*, std::int16_t*)>(entry)(c, &out);
      value = "i2 " + std::to_string(out);
    } else if (e.kind == 'g') {
      VARIANT out;
      status = reinterpret_cast<HRESULT (*)(_ALG_V1S*, VARIANT*)>(entry)(c, &out);
      if (status >= 0) value = Outcome(out);
    } else if (e.type == 's') {
      BSTR in = PellixSysAllocStringUtf8(text.c_str());
      status = reinterpret_cast<HRESULT (*)(_ALG_V1S*, BSTR)>(entry)(c, in);
      PellixSysFreeString(in);
    } else if (e.type == 'i') {
      status = reinterpret_cast<HRESULT (*)(_ALG_V1S*, std::int16_t)>(entry)(
          c, static_cast<std::int16_t>(std::stoi(text)));
    } else {
      VARIANT in;
      PellixVariantInit(&in);
      in.vt = VT_I2;
      in.u.iVal = static_cast<std::int16_t>(std::stoi(text));
      status = reinterpret_cast<HRESULT (*)(_ALG_V1S*, VARIANT)>(entry)(c, in);
    }
    return status < 0 ? Failure(status) : value;
  }

 private:
  TestSite site_;
  Ref<_ALG_V1S> control_ = NewControl(site_);
};

class DispatchBinding final : public Binding {
 public:
  explicit DispatchBinding(bool by_name) : by_name_(by_name) {}
  std::string Run(int p, const std::string& text) override {
    const GoldenPosition& e = kInterface[p];
    DISPID id = e.dispid;
    if (by_name_) {
      // Late binding matches names without regard to case.
      std::u16string name;
      for (const char* c = e.name; *c != 0; ++c) {
        name += static_cast<char16_t>(*c >= 'A' && *c <= 'Z' ? *c + 32 : *c);
      }
      LPOLESTR names[] = {reinterpret_cast<LPOLESTR>(name.data())};
      EXPECT_EQ(
          control_->lpVtbl->GetIDsOfNames(control_.get(), &IID_IUnknown, names, 1, 0x409, &id),
          S_OK);
    }
    VARIANT argument;
    PellixVariantInit(&argument);
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params = {nullptr, nullptr, 0, 0};
    WORD flags = e.kind == 'm' ? DISPATCH_METHOD : DISPATCH_PROPERTYGET;
    if (e.kind == 'p') {
      flags = DISPATCH_PROPERTYPUT;
      if (e.type == 's') {
        argument.vt = VT_BSTR;
        argument.u.bstrVal = PellixSysAllocStringUtf8(text.c_str());
      } else {
        argument.vt = VT_I2;
        argument.u.iVal = static_cast<std::int16_t>(std::stoi(text));
      }
      params = {&argument, &named, 1, 1};
    }
    VARIANT result;
    PellixVariantInit(&result);
    EXCEPINFO exception{};
    const HRESULT status = control_->lpVtbl->Invoke(control_.get(), id, &IID_IUnknown, 0x409, flags,
                                                    &params, &result, &exception, nullptr);
    PellixVariantClear(&argument);
    if (status == DISP_E_EXCEPTION) {
      const std::string out = "error " + std::to_string(PellixErrorNumber(exception.scode)) + " " +
                              Take(exception.bstrDescription);
      PellixSysFreeString(exception.bstrSource);
      return out;
    }
    if (status < 0) return "status " + std::to_string(status);
    return Outcome(result);
  }

 private:
  bool by_name_;
  TestSite site_;
  Ref<_ALG_V1S> control_ = NewControl(site_);
};

// The steps of one session: positions with their argument, gets compared after each.
std::vector<std::pair<int, std::string>> Session() {
  const std::string samples = PELLIX_SOURCE_DIR "/examples/samples/";
  std::vector<std::pair<int, std::string>> steps;
  for (int p = 0; p < kMembers; ++p) {
    if (kInterface[p].kind == 'p') steps.emplace_back(p, kInterface[p].type == 's' ? "7" : "3");
  }
  auto set_data = [&](const std::string& text) { steps.emplace_back(6, text); };
  set_data("000023000005000000");
  steps.emplace_back(1, "");  // Initalize
  for (const char* take : {"alex_calibrate_1", "alex_calibrate_2", "alex_calibrate_3"}) {
    set_data(samples + take + ".smp");
    steps.emplace_back(0, "");  // Calibrate
  }
  for (const char* take : {"alex_check_01", "alex_check_02", "no_such_take"}) {
    set_data(samples + take + ".smp");
    steps.emplace_back(2, "");  // Check
  }
  steps.emplace_back(23, "");  // profiler
  steps.emplace_back(3, "");   // ResetCal
  steps.emplace_back(4, "");   // ResetAll
  return steps;
}

TEST(ComponentBindingTest, EveryMemberByPositionDispatchIdAndNameGivesWhatTheCppInterfaceGives) {
  CppBinding cpp;
  PositionBinding position;
  DispatchBinding dispatch(false);
  DispatchBinding name(true);
  Binding* bindings[] = {&position, &dispatch, &name};
  for (const auto& [p, argument] : Session()) {
    const std::string want = cpp.Run(p, argument);
    for (Binding* b : bindings) EXPECT_EQ(b->Run(p, argument), want) << kInterface[p].name;
    for (int g = 0; g < kMembers; ++g) {
      if (kInterface[g].kind != 'g') continue;
      const std::string value = cpp.Run(g, "");
      for (Binding* b : bindings) {
        EXPECT_EQ(b->Run(g, ""), value) << kInterface[g].name << " after " << kInterface[p].name;
      }
    }
  }
}

TEST(ComponentBindingTest, ErrorsCrossWithTheirNumbersAndDescriptions) {
  TestSite site;
  PositionBinding position;
  struct Case {
    bool user_mode;
    int position;
    const char* argument;
    const char* want;
  } cases[] = {
      {true, 14, "1", "error 393 Get not supported at runtime"},
      {false, 14, "1", "error 382 Set not supported at runtime"},
      {false, 6, "x", "error 382 Set not supported at runtime"},
      {false, 29, "x", "error 382 Set not supported at runtime"},
  };
  for (const Case& c : cases) {
    site.user_mode = c.user_mode;
    Ref<_ALG_V1S> control = NewControl(site);
    // Direct table call: the status carries the number; the description waits for the host.
    BSTR text = PellixSysAllocStringUtf8(c.argument);
    VARIANT value;
    PellixVariantInit(&value);
    value.vt = VT_I2;
    const HRESULT status = c.position == 14  ? control->lpVtbl->put_CR_SFLC(control.get(), value)
                           : c.position == 6 ? control->lpVtbl->put_DATAstr(control.get(), text)
                                             : control->lpVtbl->put_MSGstring(control.get(), text);
    PellixSysFreeString(text);
    EXPECT_EQ(Failure(status), c.want) << c.position;
    Ref<IErrorInfo> info;
    ASSERT_EQ(PellixGetErrorInfo(0, reinterpret_cast<IErrorInfo**>(info.out())), S_OK);
    BSTR source = nullptr;
    info->lpVtbl->GetSource(info.get(), &source);
    EXPECT_EQ(Take(source), "Pellix.ALG_V1S");
  }
  // The same through Invoke, with the conversions of late binding.
  DispatchBinding dispatch(false);
  EXPECT_EQ(dispatch.Run(8, "12"), "empty");
  EXPECT_EQ(dispatch.Run(7, ""), "i2 12");
}

// Invoke with a raw argument record: the conversions and the dispatch statuses.
HRESULT InvokeWith(_ALG_V1S* c, DISPID id, WORD flags, VARIANT* args, UINT count, UINT named_count,
                   VARIANT* result, EXCEPINFO* exception) {
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS params = {args, named_count != 0 ? &named : nullptr, count, named_count};
  return c->lpVtbl->Invoke(c, id, &IID_IUnknown, 0x409, flags, &params, result, exception, nullptr);
}

TEST(ComponentDispatchTest, InvokeConvertsArgumentsAndGivesTheDispatchStatuses) {
  TestSite site;
  Ref<_ALG_V1S> control = NewControl(site);
  _ALG_V1S* c = control.get();
  auto text = [](const char* t) {
    VARIANT v;
    PellixVariantInit(&v);
    v.vt = VT_BSTR;
    v.u.bstrVal = PellixSysAllocStringUtf8(t);
    return v;
  };
  auto number = [](double d) {
    VARIANT v;
    PellixVariantInit(&v);
    v.vt = VT_R8;
    v.u.dblVal = d;
    return v;
  };
  struct Case {
    DISPID id;
    WORD flags;
    VARIANT argument;
    UINT count, named;
    HRESULT status;
    int error;  // the platform error inside DISP_E_EXCEPTION
  } cases[] = {
      {0x68030015, DISPATCH_PROPERTYPUT, text("12"), 1, 1, S_OK, 0},
      {0x68030015, DISPATCH_PROPERTYPUT, text(" 2.5 "), 1, 1, S_OK, 0},
      {0x68030015, DISPATCH_PROPERTYPUT, text("abc"), 1, 1, DISP_E_EXCEPTION, 13},
      {0x68030015, DISPATCH_PROPERTYPUT, number(32767.5), 1, 1, DISP_E_EXCEPTION, 6},
      {0x68030015, DISPATCH_PROPERTYPUT, number(1), 1, 0, DISP_E_PARAMNOTOPTIONAL, 0},
      {0x68030015, DISPATCH_PROPERTYPUT, number(1), 0, 0, DISP_E_BADPARAMCOUNT, 0},
      {0x68030015, DISPATCH_PROPERTYGET, number(1), 1, 0, DISP_E_BADPARAMCOUNT, 0},
      {0x68030015, DISPATCH_METHOD, number(1), 0, 0, DISP_E_MEMBERNOTFOUND, 0},
      {0x60030019, DISPATCH_PROPERTYGET, number(1), 0, 0, DISP_E_MEMBERNOTFOUND, 0},
      {0x60030019, DISPATCH_PROPERTYPUT, number(1), 1, 1, DISP_E_MEMBERNOTFOUND, 0},
      {0x12345678, DISPATCH_METHOD, number(1), 0, 0, DISP_E_MEMBERNOTFOUND, 0},
      {0x68030013, DISPATCH_PROPERTYPUT, VARIANT{VT_DISPATCH, 0, 0, 0, {}}, 1, 1,
       DISP_E_TYPEMISMATCH, 0},
  };
  for (Case& k : cases) {
    VARIANT result;
    PellixVariantInit(&result);
    EXCEPINFO exception{};
    EXPECT_EQ(InvokeWith(c, k.id, k.flags, &k.argument, k.count, k.named, &result, &exception),
              k.status)
        << std::hex << k.id << " " << k.flags;
    if (k.status == DISP_E_EXCEPTION) {
      EXPECT_EQ(PellixErrorNumber(exception.scode), k.error);
      EXPECT_EQ(Take(exception.bstrDescription), std::string(ErrorDescription(k.error)));
      PellixSysFreeString(exception.bstrSource);
    }
    PellixVariantClear(&k.argument);
  }
  std::int16_t level = 0;
  EXPECT_EQ(c->lpVtbl->get_DensityLevel(c, &level), S_OK);
  EXPECT_EQ(level, 2);  // " 2.5 " read strictly, rounded half to even

  struct Name {
    const char16_t* name;
    HRESULT status;
    DISPID id;
  } names[] = {{u"CHECK", S_OK, 0x60030019},
               {u"cr_msgx", S_OK, 0x6803000D},
               {u"Chek", DISP_E_UNKNOWNNAME, DISPID_UNKNOWN}};
  for (const Name& n : names) {
    LPOLESTR list[] = {const_cast<LPOLESTR>(reinterpret_cast<const OLECHAR*>(n.name))};
    DISPID id = 0;
    EXPECT_EQ(c->lpVtbl->GetIDsOfNames(c, &IID_IUnknown, list, 1, 0x409, &id), n.status);
    EXPECT_EQ(id, n.id);
  }
}

TEST(ComponentPersistenceTest, ABagFailingAtAKeyEndsLoadAndSaveThereWithItsStatus) {
  TestSite site;
  constexpr HRESULT kBagStatus = static_cast<HRESULT>(0x80041234u);
  {
    TestBag bag;
    Ref<_ALG_V1S> source = NewControl(site);
    BSTR text = PellixSysAllocStringUtf8("loaded");
    source->lpVtbl->put_ADDvolume(source.get(), text);
    source->lpVtbl->put_CR_SPJ(source.get(), text);
    PellixSysFreeString(text);
    auto persist = Query<IPersistPropertyBag>(source.get(), IID_IPersistPropertyBag);
    ASSERT_EQ(persist->lpVtbl->Save(persist.get(), &bag.iface, 1, 1), S_OK);
    EXPECT_EQ(bag.log.size(), 25u);

    // Loading stops at "CAL_spJ": ADDvolume came before it, CR_SPJ after.
    bag.log.clear();
    bag.fail_at = u"CAL_spJ";
    bag.fail_status = kBagStatus;
    Ref<_ALG_V1S> target = NewControl(site, false);
    auto load = Query<IPersistPropertyBag>(target.get(), IID_IPersistPropertyBag);
    EXPECT_EQ(load->lpVtbl->Load(load.get(), &bag.iface, nullptr), kBagStatus);
    EXPECT_EQ(bag.log.back(), "read CAL_spJ");
    BSTR out = nullptr;
    target->lpVtbl->get_ADDvolume(target.get(), &out);
    EXPECT_EQ(Take(out), "loaded");
    target->lpVtbl->get_CR_SPJ(target.get(), &out);
    EXPECT_EQ(Take(out), "0");
  }
  {
    TestBag bag;
    bag.fail_at = u"BGfilter";
    Ref<_ALG_V1S> source = NewControl(site);
    auto persist = Query<IPersistPropertyBag>(source.get(), IID_IPersistPropertyBag);
    EXPECT_EQ(persist->lpVtbl->Save(persist.get(), &bag.iface, 1, 1), E_FAIL);
    const std::vector<std::string> written = {
        "write BackColor", "write AutoRedraw",   "write BackStyle", "write BorderStyle",
        "write DATAstr",   "write DensityLevel", "write Person",    "write CAL_SFLC",
        "write CR_SFLC",   "write Mode",         "write CAL_AVJ",   "write CR_avJ",
        "write BGfilter"};
    EXPECT_EQ(bag.log, written);
  }
}

TEST(ComponentSiteTest, NotificationsReachTheSiteInOrderWithTheirIdentifiers) {
  TestSite site;
  Ref<_ALG_V1S> control = NewControl(site);
  _ALG_V1S* c = control.get();
  BSTR text = PellixSysAllocStringUtf8("5");
  c->lpVtbl->put_CR_msgX(c, text);
  c->lpVtbl->put_BGfilter(c, text);
  c->lpVtbl->put_Person(c, 2);
  VARIANT v;
  PellixVariantInit(&v);
  EXPECT_LT(c->lpVtbl->put_CR_SFLC(c, v), 0);  // refused, so silent
  c->lpVtbl->put_Mode(c, text);
  PellixSysFreeString(text);
  EXPECT_EQ(site.changed, (std::vector<DISPID>{0x6803000D, 0x68030007, 0x68030014, 0x6803000A}));
  EXPECT_STREQ(PellixPropertyChangeName(0x6803000D), "CR_MSGX");
  EXPECT_STREQ(PellixPropertyChangeName(0x68030007), "BGfilter");
  EXPECT_EQ(PellixPropertyChangeName(0x68030012), nullptr);  // CR_SFLC never notifies
  EXPECT_EQ(PellixPropertyChangeName(0x60030019), nullptr);

  // The event interface can be connected to; nothing is ever fired.
  auto container = Query<IConnectionPointContainer>(c, IID_IConnectionPointContainer);
  Ref<IConnectionPoint> point;
  EXPECT_EQ(
      container->lpVtbl->FindConnectionPoint(container.get(), &IID_IPropertyBag,
                                             reinterpret_cast<IConnectionPoint**>(point.out())),
      CONNECT_E_NOCONNECTION);
  ASSERT_EQ(
      container->lpVtbl->FindConnectionPoint(container.get(), &DIID___ALG_V1S,
                                             reinterpret_cast<IConnectionPoint**>(point.out())),
      S_OK);
  DWORD cookie = 0;
  EXPECT_EQ(point->lpVtbl->Advise(point.get(), site.unknown(), &cookie), S_OK);
  EXPECT_EQ(point->lpVtbl->Unadvise(point.get(), cookie + 1), CONNECT_E_NOCONNECTION);
  EXPECT_EQ(point->lpVtbl->Unadvise(point.get(), cookie), S_OK);
}

TEST(ComponentLifetimeTest, ReferenceCountsNullPointersThreadsAndUnload) {
  PellixSetErrorInfo(0, nullptr);
  ASSERT_EQ(DllCanUnloadNow(), S_OK);
  TestSite site;
  {
    Ref<_ALG_V1S> control = NewControl(site);
    _ALG_V1S* c = control.get();
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
    EXPECT_EQ(c->lpVtbl->AddRef(c), 2u);
    EXPECT_EQ(c->lpVtbl->Release(c), 1u);

    void* out = &site;
    EXPECT_EQ(c->lpVtbl->QueryInterface(c, &IID_IClassFactory, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(c->lpVtbl->QueryInterface(c, &IID_IDispatch, nullptr), E_POINTER);
    EXPECT_EQ(c->lpVtbl->get_Mode(c, nullptr), E_POINTER);
    EXPECT_EQ(c->lpVtbl->Check(c, nullptr), E_POINTER);
    EXPECT_EQ(c->lpVtbl->Invoke(c, 0x60030019, &IID_IUnknown, 0, DISPATCH_METHOD, nullptr, nullptr,
                                nullptr, nullptr),
              E_POINTER);
    EXPECT_EQ(DllGetClassObject(&CLSID_ALG_V1S, &IID_IClassFactory, nullptr), E_POINTER);
    EXPECT_EQ(DllGetClassObject(&IID_IDispatch, &IID_IClassFactory, &out),
              CLASS_E_CLASSNOTAVAILABLE);

    HRESULT other_thread = S_OK;
    std::thread([&] {
      BSTR text = nullptr;
      other_thread = c->lpVtbl->get_Mode(c, &text);
    }).join();
    EXPECT_EQ(other_thread, RPC_E_WRONG_THREAD);

    Ref<IClassFactory> factory;
    ASSERT_EQ(DllGetClassObject(&CLSID_ALG_V1S, &IID_IClassFactory, factory.out()), S_OK);
    EXPECT_EQ(factory->lpVtbl->CreateInstance(factory.get(), reinterpret_cast<IUnknown*>(c),
                                              &IID_IUnknown, &out),
              CLASS_E_NOAGGREGATION);
    EXPECT_EQ(factory->lpVtbl->LockServer(factory.get(), 1), S_OK);
  }
  EXPECT_EQ(DllCanUnloadNow(), S_FALSE);  // the lock keeps it
  {
    Ref<IClassFactory> factory;
    ASSERT_EQ(DllGetClassObject(&CLSID_ALG_V1S, &IID_IClassFactory, factory.out()), S_OK);
    factory->lpVtbl->LockServer(factory.get(), 0);
  }
  PellixSetErrorInfo(0, nullptr);
  EXPECT_EQ(DllCanUnloadNow(), S_OK);
}

// A host's event sink that counts the references the component holds on it.
struct CountedSink {
  IUnknownVtbl* table = &kTable;
  ULONG references = 1;  // the host's own

  IUnknown* unknown() { return reinterpret_cast<IUnknown*>(this); }

 private:
  static CountedSink* Of(IUnknown* u) { return reinterpret_cast<CountedSink*>(u); }
  static HRESULT QueryInterface(IUnknown* u, const IID* riid, void** out) {
    *out = SameGuid(riid, IID_IUnknown) ? u : nullptr;
    if (*out == nullptr) return E_NOINTERFACE;
    ++Of(u)->references;
    return S_OK;
  }
  static ULONG AddRef(IUnknown* u) { return ++Of(u)->references; }
  static ULONG Release(IUnknown* u) { return --Of(u)->references; }
  static inline IUnknownVtbl kTable = {QueryInterface, AddRef, Release};
};

// An object of another library that claims every interface.
struct Impostor {
  IUnknownVtbl* table = &kTable;

  IUnknown* unknown() { return reinterpret_cast<IUnknown*>(this); }
  static HRESULT QueryInterface(IUnknown* u, const IID*, void** out) {
    *out = u;
    return S_OK;
  }
  static ULONG One(IUnknown*) { return 1; }
  static inline IUnknownVtbl kTable = {QueryInterface, One, One};
};

// PellixControlOf: the control behind an object the library made, the one its interface
// drives; nothing for null, for an object without the interface, or for one of another library.
TEST(ComponentLifetimeTest, TheControlOfAnObjectIsTheOneItsInterfaceDrives) {
  TestSite site;
  Ref<_ALG_V1S> control = NewControl(site);
  ALG_V1S* behind = PellixControlOf(reinterpret_cast<IUnknown*>(control.get()));
  ASSERT_NE(behind, nullptr);
  BSTR text = PellixSysAllocStringUtf8("000070000005000000");
  EXPECT_EQ(control->lpVtbl->put_DATAstr(control.get(), text), S_OK);
  PellixSysFreeString(text);
  EXPECT_EQ(behind->get_DATAstr(), "000070000005000000");

  CountedSink without;
  Impostor impostor;
  EXPECT_EQ(PellixControlOf(nullptr), nullptr);
  EXPECT_EQ(PellixControlOf(without.unknown()), nullptr);
  EXPECT_EQ(without.references, 1u);
  EXPECT_EQ(PellixControlOf(impostor.unknown()), nullptr);
}

// The connection point holds one reference on each advised sink and gives it back on Unadvise,
// or when the control goes with sinks still advised; a refused Unadvise gives nothing back. Each
// sink has its own cookie, never 0.
TEST(ComponentLifetimeTest, TheConnectionPointGivesBackTheSinksItHeld) {
  TestSite site;
  CountedSink kept;
  CountedSink dropped;
  {
    Ref<_ALG_V1S> control = NewControl(site);
    auto container = Query<IConnectionPointContainer>(control.get(), IID_IConnectionPointContainer);
    Ref<IConnectionPoint> point;
    ASSERT_EQ(
        container->lpVtbl->FindConnectionPoint(container.get(), &DIID___ALG_V1S,
                                               reinterpret_cast<IConnectionPoint**>(point.out())),
        S_OK);
    DWORD first = 0;
    DWORD second = 0;
    ASSERT_EQ(point->lpVtbl->Advise(point.get(), dropped.unknown(), &first), S_OK);
    ASSERT_EQ(point->lpVtbl->Advise(point.get(), kept.unknown(), &second), S_OK);
    EXPECT_NE(first, 0u);  // a cookie of 0 stands for no connection
    EXPECT_NE(second, first);
    EXPECT_EQ(dropped.references, 2u);
    EXPECT_EQ(kept.references, 2u);
    EXPECT_EQ(point->lpVtbl->Unadvise(point.get(), first), S_OK);
    EXPECT_EQ(point->lpVtbl->Unadvise(point.get(), first), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(dropped.references, 1u);
    EXPECT_EQ(kept.references, 2u);
  }
  EXPECT_EQ(dropped.references, 1u);
  EXPECT_EQ(kept.references, 1u);  // released with the control
}

TEST(ComponentLifetimeTest, FactoryAndQueryInterfaceAnswerOnlyWhatTheControlHas) {
  PellixSetErrorInfo(0, nullptr);
  {
    Ref<IClassFactory> factory;
    ASSERT_EQ(DllGetClassObject(&CLSID_ALG_V1S, &IID_IClassFactory, factory.out()), S_OK);
    IClassFactory* f = factory.get();
    auto* outer = reinterpret_cast<IUnknown*>(f);
    struct Create {
      IUnknown* outer;
      const IID* iid;
      bool out;
      HRESULT status;
    } creations[] = {
        {nullptr, &IID__ALG_V1S, true, S_OK},
        {nullptr, &IID_IPersistPropertyBag, true, S_OK},
        {nullptr, &IID_IClassFactory, true, E_NOINTERFACE},
        {nullptr, &IID_IPropertyBag, true, E_NOINTERFACE},
        {nullptr, nullptr, true, E_POINTER},
        {nullptr, &IID_IDispatch, false, E_POINTER},
        {outer, &IID_IUnknown, true, CLASS_E_NOAGGREGATION},
    };
    for (const Create& c : creations) {
      void* out = f;
      EXPECT_EQ(f->lpVtbl->CreateInstance(f, c.outer, c.iid, c.out ? &out : nullptr), c.status);
      if (!c.out) continue;
      EXPECT_EQ(out != nullptr, c.status == S_OK);
      if (out != nullptr) static_cast<IUnknown*>(out)->lpVtbl->Release(static_cast<IUnknown*>(out));
    }
  }
  EXPECT_EQ(DllCanUnloadNow(), S_OK);  // no failed creation keeps an instance

  TestSite site;
  Ref<_ALG_V1S> control = NewControl(site);
  Ref<IUnknown> identity = Query<IUnknown>(control.get(), IID_IUnknown);
  struct Ask {
    const IID* iid;
    bool has;
  } asks[] = {{&IID_IUnknown, true},
              {&IID_IDispatch, true},
              {&IID__ALG_V1S, true},
              {&IID_ISupportErrorInfo, true},
              {&IID_IPersistPropertyBag, true},
              {&IID_IObjectWithSite, true},
              {&IID_IConnectionPointContainer, true},
              {&IID_IClassFactory, false},
              {&IID_IConnectionPoint, false},
              {&IID_IPropertyBag, false},
              {&IID_IPropertyNotifySink, false},
              {&IID_IErrorInfo, false},
              {&IID_ITypeInfo, false},
              {&IID_IOleClientSite, false},
              {&DIID___ALG_V1S, false},
              {&CLSID_ALG_V1S, false}};
  for (const Ask& a : asks) {
    Ref<IUnknown> face;
    EXPECT_EQ(control->lpVtbl->QueryInterface(control.get(), a.iid, face.out()),
              a.has ? S_OK : E_NOINTERFACE);
    EXPECT_EQ(face.get() != nullptr, a.has);
    // Every face leads back to the one object.
    if (a.has) {
      EXPECT_EQ(Query<IUnknown>(face.get(), IID_IUnknown).get(), identity.get());
    }
  }
}

// Every status of the faces beside the dual interface.
TEST(ComponentLifetimeTest, TheOtherFacesGiveTheirStatuses) {
  TestSite site;
  Ref<_ALG_V1S> control = NewControl(site);
  auto support = Query<ISupportErrorInfo>(control.get(), IID_ISupportErrorInfo);
  auto persist = Query<IPersistPropertyBag>(control.get(), IID_IPersistPropertyBag);
  auto with_site = Query<IObjectWithSite>(control.get(), IID_IObjectWithSite);
  auto container = Query<IConnectionPointContainer>(control.get(), IID_IConnectionPointContainer);
  Ref<IConnectionPoint> point;
  container->lpVtbl->FindConnectionPoint(container.get(), &DIID___ALG_V1S,
                                         reinterpret_cast<IConnectionPoint**>(point.out()));
  ISupportErrorInfo* s = support.get();
  IPersistPropertyBag* p = persist.get();
  IObjectWithSite* w = with_site.get();
  IConnectionPointContainer* k = container.get();
  IConnectionPoint* c = point.get();
  CLSID id{};
  IID connected{};
  DWORD cookie = 0;
  void* out = nullptr;
  auto take = [&](HRESULT status) {  // releases what an entry handed out
    if (status == S_OK && out != nullptr)
      static_cast<IUnknown*>(out)->lpVtbl->Release(
          static_cast<IUnknown*>(std::exchange(out, nullptr)));
    return status;
  };
  const std::pair<std::function<HRESULT()>, HRESULT> cases[] = {
      {[&] { return s->lpVtbl->InterfaceSupportsErrorInfo(s, &IID__ALG_V1S); }, S_OK},
      {[&] { return s->lpVtbl->InterfaceSupportsErrorInfo(s, &IID_IDispatch); }, S_OK},
      {[&] { return s->lpVtbl->InterfaceSupportsErrorInfo(s, &IID_IPersistPropertyBag); }, S_OK},
      {[&] { return s->lpVtbl->InterfaceSupportsErrorInfo(s, &IID_IObjectWithSite); }, S_FALSE},
      {[&] { return s->lpVtbl->InterfaceSupportsErrorInfo(s, nullptr); }, E_POINTER},
      {[&] { return p->lpVtbl->GetClassID(p, &id); }, S_OK},
      {[&] { return p->lpVtbl->GetClassID(p, nullptr); }, E_POINTER},
      {[&] { return p->lpVtbl->InitNew(p); }, S_OK},
      {[&] { return p->lpVtbl->Save(p, nullptr, 1, 1); }, E_POINTER},
      {[&] { return take(w->lpVtbl->GetSite(w, &IID_IPropertyNotifySink, &out)); }, S_OK},
      {[&] { return take(w->lpVtbl->GetSite(w, &IID_IClassFactory, &out)); }, E_NOINTERFACE},
      {[&] { return w->lpVtbl->SetSite(w, nullptr); }, S_OK},
      {[&] { return take(w->lpVtbl->GetSite(w, &IID_IUnknown, &out)); }, E_FAIL},
      {[&] { return k->lpVtbl->EnumConnectionPoints(k, &out); }, E_NOTIMPL},
      {[&] { return k->lpVtbl->FindConnectionPoint(k, nullptr, nullptr); }, E_POINTER},
      {[&] { return c->lpVtbl->GetConnectionInterface(c, &connected); }, S_OK},
      {[&] {
         return take(c->lpVtbl->GetConnectionPointContainer(
             c, reinterpret_cast<IConnectionPointContainer**>(&out)));
       },
       S_OK},
      {[&] { return c->lpVtbl->Advise(c, nullptr, &cookie); }, E_POINTER},
      {[&] { return c->lpVtbl->Advise(c, site.unknown(), nullptr); }, E_POINTER},
      {[&] { return c->lpVtbl->EnumConnections(c, &out); }, E_NOTIMPL},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(cases[i].first(), cases[i].second) << "case " << i;
  }
  EXPECT_TRUE(SameGuid(&id, CLSID_ALG_V1S));
  EXPECT_TRUE(SameGuid(&connected, DIID___ALG_V1S));
  EXPECT_EQ(out, nullptr);
}

// The host may release the instance from any call the control makes into it (a bag, the
// site's sink): the instance lives until the entry returns, then goes.
TEST(ComponentLifetimeTest, TheHostMayReleaseTheInstanceFromACallback) {
  const std::string samples = PELLIX_SOURCE_DIR "/examples/samples/";
  auto put_text = [](_ALG_V1S* c, const std::string& text) {
    BSTR value = PellixSysAllocStringUtf8(text.c_str());
    const HRESULT status = c->lpVtbl->put_DATAstr(c, value);
    PellixSysFreeString(value);
    return status;
  };
  enum class Where { kLoad, kCaptionPut, kCalibrate, kCheck };
  for (Where where : {Where::kLoad, Where::kCaptionPut, Where::kCalibrate, Where::kCheck}) {
    PellixSetErrorInfo(0, nullptr);
    TestSite site;
    TestBag bag;
    _ALG_V1S* c = NewControl(site).detach();
    auto persist = Query<IPersistPropertyBag>(c, IID_IPersistPropertyBag);
    ASSERT_EQ(persist->lpVtbl->Save(persist.get(), &bag.iface, 1, 1), S_OK);
    VARIANT result;
    PellixVariantInit(&result);
    put_text(c, "000023000005000000");
    ASSERT_EQ(c->lpVtbl->Initalize(c, &result), S_OK);
    auto release_once = [&c] {
      if (_ALG_V1S* last = std::exchange(c, nullptr); last != nullptr) {
        last->lpVtbl->Release(last);
      }
    };
    std::function<void(DISPID)> release = [&](DISPID) { release_once(); };
    _ALG_V1S* entry = c;
    BSTR caption = PellixSysAllocStringUtf8("7");
    HRESULT status = E_FAIL;
    if (where == Where::kLoad) {
      bag.on_read = [&](const std::u16string& key) {
        if (key == u"DATAstr") release_once();
      };
      IPersistPropertyBag* p = persist.detach();
      p->lpVtbl->Release(p);  // only the control's own reference is left
      status = p->lpVtbl->Load(p, &bag.iface, nullptr);
    } else {
      persist.reset();
      put_text(entry, samples + "alex_calibrate_1.smp");
      site.on_changed = &release;
      if (where == Where::kCaptionPut) status = entry->lpVtbl->put_CR_msgX(entry, caption);
      if (where == Where::kCalibrate) status = entry->lpVtbl->Calibrate(entry, &result);
      if (where == Where::kCheck) status = entry->lpVtbl->Check(entry, &result);
    }
    PellixSysFreeString(caption);
    EXPECT_EQ(status, S_OK) << static_cast<int>(where);
    EXPECT_EQ(c, nullptr) << static_cast<int>(where);               // released inside the call
    EXPECT_EQ(DllCanUnloadNow(), S_OK) << static_cast<int>(where);  // and gone after it
  }
}

TEST(ComponentErrorInfoTest, AFailureWithoutADescriptionLeavesNone) {
  TestSite site;
  Ref<_ALG_V1S> control = NewControl(site);
  _ALG_V1S* c = control.get();
  auto persist = Query<IPersistPropertyBag>(c, IID_IPersistPropertyBag);
  auto with_site = Query<IObjectWithSite>(c, IID_IObjectWithSite);
  VARIANT dispatch_value{};
  dispatch_value.vt = VT_DISPATCH;
  std::u16string misspelt = u"Chek";
  LPOLESTR names[] = {reinterpret_cast<LPOLESTR>(misspelt.data())};
  DISPID id = 0;
  void* unused = nullptr;
  const std::function<HRESULT()> undescribed[] = {
      [&] { return c->lpVtbl->get_Mode(c, nullptr); },
      [&] { return InvokeWith(c, 0x12345678, DISPATCH_METHOD, nullptr, 0, 0, nullptr, nullptr); },
      [&] {
        return InvokeWith(c, 0x68030015, DISPATCH_PROPERTYPUT, &dispatch_value, 1, 1, nullptr,
                          nullptr);
      },
      [&] { return c->lpVtbl->GetIDsOfNames(c, &IID_IUnknown, names, 1, 0x409, &id); },
      [&] { return persist->lpVtbl->Load(persist.get(), nullptr, nullptr); },
      [&] { return with_site->lpVtbl->GetSite(with_site.get(), &IID_IUnknown, nullptr); },
      [&] { return DllGetClassObject(&IID_IDispatch, &IID_IClassFactory, &unused); },
  };
  VARIANT empty;
  PellixVariantInit(&empty);
  for (const auto& call : undescribed) {
    EXPECT_EQ(PellixErrorNumber(c->lpVtbl->put_CR_SFLC(c, empty)), 393);  // described
    BSTR mode = nullptr;
    EXPECT_EQ(c->lpVtbl->get_Mode(c, &mode), S_OK);  // a success leaves it
    PellixSysFreeString(mode);
    EXPECT_EQ(LastDescription(), "Get not supported at runtime");
    EXPECT_LT(call(), 0);
    IErrorInfo* info = nullptr;
    EXPECT_EQ(PellixGetErrorInfo(0, &info), S_FALSE);  // not the older description
  }
}

TEST(ComponentErrorInfoTest, AThreadsErrorInformationEndsWithTheThread) {
  PellixSetErrorInfo(0, nullptr);
  std::thread([] {
    TestSite site;
    Ref<_ALG_V1S> control = NewControl(site);
    VARIANT empty;
    PellixVariantInit(&empty);
    EXPECT_EQ(PellixErrorNumber(control->lpVtbl->put_CR_SFLC(control.get(), empty)), 393);
  }).join();
  EXPECT_EQ(DllCanUnloadNow(), S_OK);
}

// Every value tag the control converts, by value and by reference, put through Invoke into a
// text (CAL_spT) and a 16-bit integer (DensityLevel), with the integer's edges; tags it cannot
// take are refused whichever the property.
TEST(ComponentDispatchTest, EveryValueTagConvertsAsTheControlConverts) {
  TestSite site;
  Ref<_ALG_V1S> control = NewControl(site);
  _ALG_V1S* c = control.get();
  std::int16_t i2 = -5;
  std::int32_t i4 = 70000;
  float r4 = 2.5f;
  double r8 = -32768.5;
  BSTR text = PellixSysAllocStringUtf8("12");
  VARIANT_BOOL truth = VARIANT_TRUE;
  std::uint8_t ui1 = 200;
  VARIANT inner{};
  inner.vt = VT_R4;
  inner.u.fltVal = 0.1f;
  auto tag = [](VARTYPE vt, auto set) {
    VARIANT v{};
    v.vt = vt;
    set(v.u);
    return v;
  };
  auto by_ref = [](VARTYPE vt, void* p) {
    VARIANT v{};
    v.vt = static_cast<VARTYPE>(vt | VT_BYREF);
    v.u.byref = p;
    return v;
  };
  constexpr const char* kRefused = "refused";
  struct Case {
    VARIANT value;
    const char* text;     // CAL_spT read back
    const char* integer;  // DensityLevel read back, or the error number
  } cases[] = {
      {tag(VT_EMPTY, [](auto&) {}), "", "0"},
      {tag(VT_I2, [](auto& u) { u.iVal = -32768; }), "-32768", "-32768"},
      {tag(VT_I4, [](auto& u) { u.lVal = 32767; }), "32767", "32767"},
      {tag(VT_I4, [](auto& u) { u.lVal = 32768; }), "32768", "error 6"},
      {tag(VT_I4, [](auto& u) { u.lVal = -32769; }), "-32769", "error 6"},
      {tag(VT_R4, [](auto& u) { u.fltVal = 0.1f; }), "0.100000001490116", "0"},
      {tag(VT_R4, [](auto& u) { u.fltVal = 32766.5f; }), "32766.5", "32766"},
      {tag(VT_R8, [](auto& u) { u.dblVal = 32767.5; }), "32767.5", "error 6"},
      {tag(VT_R8, [](auto& u) { u.dblVal = -32768.5; }), "-32768.5", "-32768"},
      {tag(VT_R8, [](auto& u) { u.dblVal = 1e300; }), "1E+300", "error 6"},
      {tag(VT_BSTR, [](auto& u) { u.bstrVal = nullptr; }), "", "error 13"},
      {tag(VT_BOOL, [](auto& u) { u.boolVal = VARIANT_TRUE; }), "True", "-1"},
      {tag(VT_BOOL, [](auto& u) { u.boolVal = VARIANT_FALSE; }), "False", "0"},
      {tag(VT_UI1, [](auto& u) { u.bVal = 255; }), "255", "255"},
      {by_ref(VT_I2, &i2), "-5", "-5"},
      {by_ref(VT_I4, &i4), "70000", "error 6"},
      {by_ref(VT_R4, &r4), "2.5", "2"},
      {by_ref(VT_R8, &r8), "-32768.5", "-32768"},
      {by_ref(VT_BSTR, &text), "12", "12"},
      {by_ref(VT_BOOL, &truth), "True", "-1"},
      {by_ref(VT_UI1, &ui1), "200", "200"},
      {by_ref(VT_VARIANT, &inner), "0.100000001490116", "0"},
      {by_ref(VT_I4, nullptr), kRefused, kRefused},
      {by_ref(VT_EMPTY, &i2), kRefused, kRefused},
      {tag(VT_NULL, [](auto&) {}), kRefused, kRefused},
      {tag(VT_DISPATCH, [](auto&) {}), kRefused, kRefused},
      {tag(VT_ERROR, [](auto& u) { u.scode = 0; }), kRefused, kRefused},
      {tag(VT_UNKNOWN, [](auto&) {}), kRefused, kRefused},
      {tag(6, [](auto&) {}), kRefused, kRefused},  // currency
      {tag(7, [](auto&) {}), kRefused, kRefused},  // date
  };
  auto put_then_get = [&](DISPID dispid, VARIANT value) -> std::string {
    EXCEPINFO exception{};
    const HRESULT status =
        InvokeWith(c, dispid, DISPATCH_PROPERTYPUT, &value, 1, 1, nullptr, &exception);
    if (status == DISP_E_TYPEMISMATCH) return kRefused;
    if (status == DISP_E_EXCEPTION) {
      PellixSysFreeString(exception.bstrDescription);
      PellixSysFreeString(exception.bstrSource);
      return "error " + std::to_string(PellixErrorNumber(exception.scode));
    }
    VARIANT result;
    PellixVariantInit(&result);
    EXPECT_EQ(InvokeWith(c, dispid, DISPATCH_PROPERTYGET, nullptr, 0, 0, &result, nullptr), S_OK);
    const std::string out = Outcome(result);
    return out.substr(out.find(' ') + 1);
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const Case& k = cases[i];
    EXPECT_EQ(put_then_get(0x68030005, k.value), k.text) << "case " << i;
    c->lpVtbl->put_DensityLevel(c, 1);
    EXPECT_EQ(put_then_get(0x68030015, k.value), k.integer) << "case " << i;
  }
  PellixSysFreeString(text);
}

// The colour through a host bag: -2^31 to 2^32-1, negatives wrapping to their unsigned value.
TEST(ComponentPersistenceTest, BackColorAtAndBesideItsEdges) {
  TestSite site;
  struct Case {
    double loaded;
    const char* saved;  // or the error number
  } cases[] = {{-2147483648.0, "2147483648"}, {-2147483649.0, "error 6"},
               {4294967295.0, "4294967295"},  {4294967296.0, "error 6"},
               {-1.0, "4294967295"},          {2147483647.5, "2147483648"}};
  for (const Case& k : cases) {
    TestBag bag;
    VARIANT colour{};
    colour.vt = VT_R8;
    colour.u.dblVal = k.loaded;
    bag.entries.emplace_back(u"BackColor", colour);
    Ref<_ALG_V1S> control = NewControl(site, false);
    auto persist = Query<IPersistPropertyBag>(control.get(), IID_IPersistPropertyBag);
    const HRESULT status = persist->lpVtbl->Load(persist.get(), &bag.iface, nullptr);
    std::string saved = "error " + std::to_string(PellixErrorNumber(status));
    if (status == S_OK) {
      TestBag out;
      EXPECT_EQ(persist->lpVtbl->Save(persist.get(), &out.iface, 1, 1), S_OK);
      VARIANT* written = out.Find(u"BackColor");
      saved =
          written == nullptr ? "absent" : std::to_string(static_cast<long long>(written->u.dblVal));
    }
    EXPECT_EQ(saved, k.saved) << k.loaded;
  }
}

TEST(ComponentTypeInfoTest, DescribesEveryMemberFromTheInterfaceTable) {
  TestSite site;
  Ref<_ALG_V1S> control = NewControl(site);
  Ref<ITypeInfo> info;
  UINT count = 0;
  EXPECT_EQ(control->lpVtbl->GetTypeInfoCount(control.get(), &count), S_OK);
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(
      control->lpVtbl->GetTypeInfo(control.get(), 1, 0, reinterpret_cast<ITypeInfo**>(info.out())),
      DISP_E_BADINDEX);
  ASSERT_EQ(
      control->lpVtbl->GetTypeInfo(control.get(), 0, 0, reinterpret_cast<ITypeInfo**>(info.out())),
      S_OK);
  ITypeInfo* t = info.get();
  TYPEATTR* attr = nullptr;
  ASSERT_EQ(t->lpVtbl->GetTypeAttr(t, &attr), S_OK);
  EXPECT_TRUE(SameGuid(&attr->guid, IID__ALG_V1S));
  EXPECT_EQ(attr->lcid, 0x409u);
  EXPECT_EQ(attr->cFuncs, 52);
  EXPECT_EQ(attr->cbSizeVft, 59 * 8);
  EXPECT_EQ(attr->typekind, TKIND_DISPATCH);
  t->lpVtbl->ReleaseTypeAttr(t, attr);

  for (int p = 0; p < kMembers; ++p) {
    const GoldenPosition& e = kInterface[p];
    FUNCDESC* desc = nullptr;
    ASSERT_EQ(t->lpVtbl->GetFuncDesc(t, static_cast<UINT>(p), &desc), S_OK);
    EXPECT_EQ(desc->memid, e.dispid) << p;
    EXPECT_EQ(desc->invkind, e.kind == 'm'   ? INVOKE_FUNC
                             : e.kind == 'g' ? INVOKE_PROPERTYGET
                                             : INVOKE_PROPERTYPUT);
    EXPECT_EQ(desc->oVft, 8 * (7 + p));
    const VARTYPE type = e.type == 's' ? VT_BSTR : e.type == 'i' ? VT_I2 : VT_VARIANT;
    EXPECT_EQ(e.kind == 'p' ? desc->lprgelemdescParam[0].tdesc.vt : desc->elemdescFunc.tdesc.vt,
              type)
        << p;
    const std::string name = e.name;
    EXPECT_EQ(desc->wFuncFlags == FUNCFLAG_FHIDDEN, e.hidden) << name;
    t->lpVtbl->ReleaseFuncDesc(t, desc);

    BSTR got_name = nullptr;
    BSTR help = nullptr;
    ASSERT_EQ(t->lpVtbl->GetDocumentation(t, e.dispid, &got_name, &help, nullptr, nullptr), S_OK);
    EXPECT_EQ(Take(got_name), name);
    EXPECT_EQ(Take(help), e.help ? "Returns/sets the text displayed in an object's title "
                                   "bar or below an object's icon."
                                 : "");
  }
  FUNCDESC* beyond = nullptr;
  EXPECT_EQ(t->lpVtbl->GetFuncDesc(t, 52, &beyond), DISP_E_BADINDEX);
  const PellixTypeLibraryInfo* library = PellixTypeLibrary();
  EXPECT_STREQ(library->name, "Pellix");
  EXPECT_STREQ(library->help_string, "Kelvane ActiveX VR1J");
  EXPECT_EQ(library->lcid, 0x409u);
}

TEST(ComponentStringTest, StringsAreLengthPrefixedUtf16) {
  BSTR text = PellixSysAllocStringUtf8("h\xC3\xA9llo \xF0\x9F\x98\x80");
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(PellixSysStringLen(text), 8u);  // the emoji is a surrogate pair
  std::uint32_t bytes = 0;
  std::memcpy(&bytes, reinterpret_cast<char*>(text) - 4, 4);
  EXPECT_EQ(bytes, 16u);
  EXPECT_EQ(text[8], 0);
  EXPECT_EQ(Take(text), "h\xC3\xA9llo \xF0\x9F\x98\x80");
  const OLECHAR lone[] = {u'a', 0xD800, u'b'};
  EXPECT_EQ(Take(PellixSysAllocStringLen(lone, 3)),
            "a\xEF\xBF\xBD"
            "b");
  EXPECT_EQ(Utf8(nullptr), "");
}

}  // namespace
}  // namespace pellix::testing
