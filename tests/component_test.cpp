// The component as hosts see it: every member by position, by dispatch identifier and by name
// against the C++ interface, the dispatch interface's statuses, errors and their descriptions,
// persistence over a host bag, the site, threads, reference counts and type information.
#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <thread>
#include <vector>

#include "component_host.h"
#include "interface_golden.h"
#include "platform/error.h"
#include "recording_site.h"
#include "shell/alg_v1s.h"
#include "shell/interface_table.h"

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
