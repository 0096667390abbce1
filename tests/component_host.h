// A host's side of the component for tests: a client site with a switchable UserMode that
// logs PropertyChanged, a property bag in memory that can fail at a chosen key, and helpers
// that create instances and turn strings and values into plain C++.
#pragma once

#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "Pellix.h"

namespace pellix::testing {

inline std::u16string Units(BSTR text) {
  return text == nullptr
             ? std::u16string()
             : std::u16string(reinterpret_cast<char16_t*>(text), PellixSysStringLen(text));
}

inline std::string Utf8(BSTR text) {
  std::string out(PellixStringToUtf8(text, nullptr, 0), '\0');
  PellixStringToUtf8(text, out.data(), out.size() + 1);
  return out;
}

// Takes a BSTR the component returned, gives its text and frees it.
inline std::string Take(BSTR text) {
  std::string out = Utf8(text);
  PellixSysFreeString(text);
  return out;
}

inline std::string LastDescription() {
  return Take(PellixLastErrorDescription());
}

inline bool SameGuid(const GUID* a, const GUID& b) {
  return std::memcmp(a, &b, sizeof(GUID)) == 0;
}

// The site: ambient UserMode through IDispatch, PropertyChanged through IPropertyNotifySink.
// It lives on the test's stack and outlives the controls, so it does not count references.
struct TestSite {
  IDispatch dispatch{&kDispatch};
  IPropertyNotifySink sink{&kSink};
  bool user_mode = true;
  std::vector<DISPID> changed;
  std::function<void(DISPID)>* on_changed = nullptr;  // runs inside OnChanged

  IUnknown* unknown() { return reinterpret_cast<IUnknown*>(&dispatch); }

 private:
  static TestSite* Of(IDispatch* d) {
    return reinterpret_cast<TestSite*>(reinterpret_cast<char*>(d) - offsetof(TestSite, dispatch));
  }
  static TestSite* Of(IPropertyNotifySink* s) {
    return reinterpret_cast<TestSite*>(reinterpret_cast<char*>(s) - offsetof(TestSite, sink));
  }
  static HRESULT Query(TestSite* site, const IID* riid, void** out) {
    *out = nullptr;
    if (SameGuid(riid, IID_IUnknown) || SameGuid(riid, IID_IDispatch)) *out = &site->dispatch;
    if (SameGuid(riid, IID_IPropertyNotifySink)) *out = &site->sink;
    return *out != nullptr ? S_OK : E_NOINTERFACE;
  }
  template <class I>
  static ULONG One(I*) {
    return 1;
  }
  static HRESULT DQuery(IDispatch* d, const IID* riid, void** out) {
    return Query(Of(d), riid, out);
  }
  static HRESULT SQuery(IPropertyNotifySink* s, const IID* riid, void** out) {
    return Query(Of(s), riid, out);
  }
  static HRESULT Count(IDispatch*, UINT* n) { return *n = 0, S_OK; }
  static HRESULT Info(IDispatch*, UINT, LCID, ITypeInfo**) { return E_NOTIMPL; }
  static HRESULT Names(IDispatch*, const IID*, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }
  static HRESULT Ambient(IDispatch* d, DISPID id, const IID*, LCID, WORD, DISPPARAMS*,
                         VARIANT* result, EXCEPINFO*, UINT*) {
    if (id != DISPID_AMBIENT_USERMODE) return DISP_E_MEMBERNOTFOUND;
    PellixVariantInit(result);
    result->vt = VT_BOOL;
    result->u.boolVal = Of(d)->user_mode ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  }
  static HRESULT Changed(IPropertyNotifySink* s, DISPID id) {
    Of(s)->changed.push_back(id);
    if (Of(s)->on_changed != nullptr) (*Of(s)->on_changed)(id);
    return S_OK;
  }
  static HRESULT RequestEdit(IPropertyNotifySink*, DISPID) { return S_OK; }

  static constexpr IDispatchVtbl kDispatch = {DQuery, One<IDispatch>, One<IDispatch>, Count,
                                              Info,   Names,          Ambient};
  static constexpr IPropertyNotifySinkVtbl kSink = {SQuery, One<IPropertyNotifySink>,
                                                    One<IPropertyNotifySink>, Changed, RequestEdit};
};

// A bag in memory: keys in the order first written, every call logged; the call on
// `fail_at` returns `fail_status`.
struct TestBag {
  IPropertyBag iface{&kTable};
  std::vector<std::pair<std::u16string, VARIANT>> entries;
  std::vector<std::string> log;
  std::u16string fail_at;
  HRESULT fail_status = E_FAIL;
  std::function<void(const std::u16string&)> on_read;  // runs inside Read

  TestBag() = default;
  TestBag(const TestBag&) = delete;
  TestBag& operator=(const TestBag&) = delete;
  ~TestBag() {
    for (auto& entry : entries) PellixVariantClear(&entry.second);
  }

  VARIANT* Find(const std::u16string& key) {
    for (auto& entry : entries) {
      if (entry.first == key) return &entry.second;
    }
    return nullptr;
  }

 private:
  static TestBag* Of(IPropertyBag* b) { return reinterpret_cast<TestBag*>(b); }
  static std::u16string Key(LPCOLESTR name) { return reinterpret_cast<const char16_t*>(name); }
  static std::string Narrow(const std::u16string& key) {
    return std::string(key.begin(), key.end());
  }
  static HRESULT Query(IPropertyBag* b, const IID* riid, void** out) {
    *out = SameGuid(riid, IID_IUnknown) || SameGuid(riid, IID_IPropertyBag) ? b : nullptr;
    return *out != nullptr ? S_OK : E_NOINTERFACE;
  }
  static ULONG One(IPropertyBag*) { return 1; }
  static HRESULT Read(IPropertyBag* b, LPCOLESTR name, VARIANT* value, IErrorLog*) {
    TestBag* bag = Of(b);
    bag->log.push_back("read " + Narrow(Key(name)));
    if (bag->on_read) bag->on_read(Key(name));
    if (Key(name) == bag->fail_at) return bag->fail_status;
    VARIANT* stored = bag->Find(Key(name));
    if (stored == nullptr) return E_INVALIDARG;
    return PellixVariantCopy(value, stored);
  }
  static HRESULT Write(IPropertyBag* b, LPCOLESTR name, VARIANT* value) {
    TestBag* bag = Of(b);
    bag->log.push_back("write " + Narrow(Key(name)));
    if (Key(name) == bag->fail_at) return bag->fail_status;
    VARIANT* stored = bag->Find(Key(name));
    if (stored == nullptr) {
      bag->entries.emplace_back(Key(name), VARIANT{});
      stored = &bag->entries.back().second;
    }
    return PellixVariantCopy(stored, value);
  }
  static constexpr IPropertyBagVtbl kTable = {Query, One, One, Read, Write};
};

// An interface pointer released at the end of the scope.
template <class I>
class Ref {
 public:
  Ref() = default;
  explicit Ref(I* p) : p_(p) {}
  Ref(Ref&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  Ref(const Ref&) = delete;
  Ref& operator=(const Ref&) = delete;
  ~Ref() { reset(); }
  void reset() {
    if (p_ != nullptr) p_->lpVtbl->Release(p_);
    p_ = nullptr;
  }
  I* get() const { return p_; }
  I* detach() { return std::exchange(p_, nullptr); }
  I* operator->() const { return p_; }
  void** out() {
    reset();
    return reinterpret_cast<void**>(&p_);
  }

 private:
  I* p_ = nullptr;
};

template <class I, class From>
Ref<I> Query(From* from, const IID& id) {
  Ref<I> out;
  from->lpVtbl->QueryInterface(from, &id, out.out());
  return out;
}

}  // namespace pellix::testing
