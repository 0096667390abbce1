// PellixPtr.hpp: owning wrappers for C++ hosts of Pellix.h. Each gives back what it owns when it
// goes, as Pellix.h's ownership rules ask, so that a host leaks nothing on an early return or an
// exception:
// - Ptr<T>: an interface pointer and its one reference (Release when it goes), for any
//   interface of Pellix.h and for _ALG_V1S.
// - Bstr: a string the host owns (PellixSysFreeString), to and from UTF-8.
// - Variant: a value the host owns (PellixVariantClear), copied deep.
// - Check(status): throws Failure for a negative status, with the status and the description
//   the failure left on this thread (taken, so that it describes no later failure).
// It spells the platform's types with their prefix only, so it works with PELLIX_NO_LEGACY_NAMES
// as without it. C++17 or later.
#ifndef PELLIX_PTR_HPP
#define PELLIX_PTR_HPP

#include <cstdint>
#include <new>
#include <stdexcept>
#include <string>
#include <utility>

#include "Pellix.h"

namespace pellix::owned {

template <class T>
class Ptr {
 public:
  Ptr() noexcept = default;
  // Takes over the reference `pointer` carries (one a call handed out).
  static Ptr Adopt(T* pointer) noexcept {
    Ptr held;
    held.pointer_ = pointer;
    return held;
  }
  // Adds a reference of its own.
  static Ptr Share(T* pointer) noexcept {
    if (pointer != nullptr) pointer->lpVtbl->AddRef(pointer);
    return Adopt(pointer);
  }
  Ptr(const Ptr& other) noexcept : pointer_(other.pointer_) {
    if (pointer_ != nullptr) pointer_->lpVtbl->AddRef(pointer_);
  }
  Ptr(Ptr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
  Ptr& operator=(Ptr other) noexcept {
    std::swap(pointer_, other.pointer_);
    return *this;
  }
  ~Ptr() { Reset(); }

  void Reset() noexcept {
    if (T* pointer = std::exchange(pointer_, nullptr)) pointer->lpVtbl->Release(pointer);
  }
  T* get() const noexcept { return pointer_; }
  // The function table: p.vtbl()->Check(p.get(), &result).
  auto vtbl() const noexcept { return pointer_->lpVtbl; }
  explicit operator bool() const noexcept { return pointer_ != nullptr; }
  // For an out-parameter: gives back what it holds and receives the new reference.
  T** put() noexcept {
    Reset();
    return &pointer_;
  }
  void** put_void() noexcept { return reinterpret_cast<void**>(put()); }
  // Hands the reference over to the caller.
  T* Release() noexcept { return std::exchange(pointer_, nullptr); }

  // The interface `iid` of the same object into `out`; the status QueryInterface returns.
  template <class U>
  PellixHRESULT Query(const PellixIID& iid, Ptr<U>& out) const noexcept {
    return pointer_->lpVtbl->QueryInterface(pointer_, &iid, out.put_void());
  }

 private:
  T* pointer_ = nullptr;
};

class Bstr {
 public:
  Bstr() noexcept = default;
  // From UTF-8 (invalid sequences become U+FFFD).
  explicit Bstr(const std::string& utf8) : text_(PellixSysAllocStringUtf8(utf8.c_str())) {
    if (text_ == nullptr) throw std::bad_alloc();
  }
  static Bstr Adopt(PellixBSTR text) noexcept {
    Bstr held;
    held.text_ = text;
    return held;
  }
  Bstr(const Bstr& other) : text_(nullptr) {
    if (other.text_ == nullptr) return;
    text_ = PellixSysAllocStringLen(other.text_, PellixSysStringLen(other.text_));
    if (text_ == nullptr) throw std::bad_alloc();
  }
  Bstr(Bstr&& other) noexcept : text_(std::exchange(other.text_, nullptr)) {}
  Bstr& operator=(Bstr other) noexcept {
    std::swap(text_, other.text_);
    return *this;
  }
  ~Bstr() { PellixSysFreeString(text_); }

  PellixBSTR get() const noexcept { return text_; }
  // For an out-parameter: frees what it holds and receives the new string.
  PellixBSTR* put() noexcept {
    PellixSysFreeString(std::exchange(text_, nullptr));
    return &text_;
  }
  PellixBSTR Release() noexcept { return std::exchange(text_, nullptr); }
  // Length in UTF-16 code units; a null string is empty.
  std::size_t size() const noexcept { return PellixSysStringLen(text_); }
  std::string Utf8() const {
    std::string out(PellixStringToUtf8(text_, nullptr, 0), '\0');
    PellixStringToUtf8(text_, out.data(), out.size() + 1);
    return out;
  }

 private:
  PellixBSTR text_ = nullptr;
};

class Variant {
 public:
  Variant() noexcept { PellixVariantInit(&value_); }
  explicit Variant(std::int16_t number) noexcept : Variant() {
    value_.vt = PELLIX_VT_I2;
    value_.u.iVal = number;
  }
  explicit Variant(double number) noexcept : Variant() {
    value_.vt = PELLIX_VT_R8;
    value_.u.dblVal = number;
  }
  explicit Variant(Bstr text) noexcept : Variant() {
    value_.vt = PELLIX_VT_BSTR;
    value_.u.bstrVal = text.Release();
  }
  explicit Variant(const std::string& utf8) : Variant(Bstr(utf8)) {}
  Variant(const Variant& other) : Variant() {
    if (PellixVariantCopy(&value_, &other.value_) < 0) throw std::bad_alloc();
  }
  Variant(Variant&& other) noexcept : value_(other.value_) { PellixVariantInit(&other.value_); }
  Variant& operator=(Variant other) noexcept {
    std::swap(value_, other.value_);
    return *this;
  }
  ~Variant() { PellixVariantClear(&value_); }

  PellixVARIANT* get() noexcept { return &value_; }
  const PellixVARIANT* get() const noexcept { return &value_; }
  // For an out-parameter: clears what it holds and receives the new value.
  PellixVARIANT* put() noexcept {
    PellixVariantClear(&value_);
    return &value_;
  }
  PellixVARTYPE type() const noexcept { return value_.vt; }

 private:
  PellixVARIANT value_;
};

// A failed call: status() is its status, number() the platform error number in it (0 when it
// carries none), what() the description the component left on this thread, or the status in
// hexadecimal when it left none.
class Failure : public std::runtime_error {
 public:
  Failure(PellixHRESULT status, const std::string& description)
      : std::runtime_error(description), status_(status) {}
  PellixHRESULT status() const noexcept { return status_; }
  int number() const noexcept { return PellixErrorNumber(status_); }

 private:
  PellixHRESULT status_;
};

// The description of the last failure on this thread, taken (so that it never describes a later
// failure that leaves none), or nothing.
inline std::string TakeErrorDescription() {
  Ptr<PellixIErrorInfo> info;
  Bstr text;
  if (PellixGetErrorInfo(0, info.put()) != PELLIX_S_OK || !info ||
      info.vtbl()->GetDescription(info.get(), text.put()) < 0) {
    return {};
  }
  return text.Utf8();
}

// Returns `status` when it is a success; throws Failure for a failure.
inline PellixHRESULT Check(PellixHRESULT status) {
  if (status >= 0) return status;
  std::string description = TakeErrorDescription();
  if (description.empty()) {
    static const char kDigits[] = "0123456789ABCDEF";
    description = "status 0x";
    for (int shift = 28; shift >= 0; shift -= 4) {
      description += kDigits[(static_cast<std::uint32_t>(status) >> shift) & 0xFu];
    }
  }
  throw Failure(status, description);
}

}  // namespace pellix::owned

#endif  // PELLIX_PTR_HPP
