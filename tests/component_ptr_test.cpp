// PellixPtr.hpp and the prefixed names of Pellix.h, as a host with platform headers of its own
// uses them: the host's HRESULT, BOOL, S_OK, VT_BSTR and IUnknown below must not clash with
// Pellix.h under PELLIX_NO_LEGACY_NAMES, and every wrapper gives back what it owns.
#include <gtest/gtest.h>

#include <string>
#include <utility>

// What a host's own platform headers define, differently from Pellix.h.
typedef long HRESULT;
typedef int BOOL;
#define S_OK 0L
#define VT_BSTR 8
struct IUnknown {
  virtual ~IUnknown() = default;
};

#define PELLIX_NO_LEGACY_NAMES
#include "component/include/PellixPtr.hpp"

namespace pellix::testing {
namespace {

using owned::Bstr;
using owned::Check;
using owned::Failure;
using owned::Ptr;
using owned::Variant;

static_assert(PELLIX_VT_BSTR == VT_BSTR && PELLIX_S_OK == S_OK);
static_assert(sizeof(PellixHRESULT) == 4 && sizeof(HRESULT) == sizeof(long));

Ptr<_ALG_V1S> NewControl() {
  Ptr<PellixIClassFactory> factory;
  Check(PellixDllGetClassObject(&CLSID_ALG_V1S, &PELLIX_IID_IClassFactory, factory.put_void()));
  Ptr<_ALG_V1S> control;
  Check(factory.vtbl()->CreateInstance(factory.get(), nullptr, &IID__ALG_V1S, control.put_void()));
  return control;
}

TEST(ComponentPtr, ReferencesGoBackWithTheLastWrapper) {
  ASSERT_EQ(PellixDllCanUnloadNow(), PELLIX_S_OK);
  {
    Ptr<_ALG_V1S> control = NewControl();
    Ptr<_ALG_V1S> copy = control;
    Ptr<PellixIPersistPropertyBag> persist;
    ASSERT_EQ(control.Query(PELLIX_IID_IPersistPropertyBag, persist), PELLIX_S_OK);
    Ptr<PellixIConnectionPoint> none;
    EXPECT_EQ(control.Query(PELLIX_IID_IConnectionPoint, none), PELLIX_E_NOINTERFACE);
    EXPECT_FALSE(none);
    Ptr<_ALG_V1S> moved = std::move(control);
    EXPECT_FALSE(control);
    EXPECT_EQ(moved.get(), copy.get());
    copy.Reset();
    persist.Reset();
    // The one reference left is moved's: a hand's AddRef makes two, its Release one again.
    EXPECT_EQ(moved.vtbl()->AddRef(moved.get()), 2u);
    EXPECT_EQ(moved.vtbl()->Release(moved.get()), 1u);
    EXPECT_EQ(PellixDllCanUnloadNow(), PELLIX_S_FALSE);
  }
  EXPECT_EQ(PellixDllCanUnloadNow(), PELLIX_S_OK);
}

TEST(ComponentPtr, BstrCarriesUtf8BothWays) {
  struct Case {
    std::string utf8;
    std::size_t units;  // UTF-16 code units
    std::string back;
  };
  const Case cases[] = {
      {"", 0, ""},
      {"abc", 3, "abc"},
      {"Gr\xC3\xBC\xC3\x9F"
       "e",
       5,
       "Gr\xC3\xBC\xC3\x9F"
       "e"},                                        // two 2-byte letters
      {"\xF0\x9F\x98\x80", 2, "\xF0\x9F\x98\x80"},  // a surrogate pair
      {"a\xFF"
       "b",
       3,
       "a\xEF\xBF\xBD"
       "b"},  // invalid: U+FFFD
  };
  for (const Case& c : cases) {
    Bstr text(c.utf8);
    EXPECT_EQ(text.size(), c.units) << c.utf8;
    EXPECT_EQ(text.Utf8(), c.back) << c.utf8;
    Bstr copy = text;
    EXPECT_NE(copy.get(), text.get());
    EXPECT_EQ(copy.Utf8(), c.back);
  }
  EXPECT_EQ(Bstr().size(), 0u);
  EXPECT_EQ(Bstr().Utf8(), "");
}

TEST(ComponentPtr, VariantsOwnTheirValues) {
  Variant text(std::string("0000230"));
  EXPECT_EQ(text.type(), PELLIX_VT_BSTR);
  Variant copy = text;
  EXPECT_NE(copy.get()->u.bstrVal, text.get()->u.bstrVal);  // deep
  EXPECT_EQ(Bstr::Adopt(std::exchange(copy.get()->u.bstrVal, nullptr)).Utf8(), "0000230");
  Variant moved = std::move(text);
  EXPECT_EQ(moved.type(), PELLIX_VT_BSTR);
  EXPECT_EQ(text.type(), PELLIX_VT_EMPTY);
  EXPECT_EQ(Variant(std::int16_t{-7}).get()->u.iVal, -7);
  EXPECT_EQ(Variant(2.5).get()->u.dblVal, 2.5);
  moved.put();
  EXPECT_EQ(moved.type(), PELLIX_VT_EMPTY);
}

TEST(ComponentPtr, CheckThrowsTheFailureWithItsNumberAndDescription) {
  EXPECT_EQ(Check(PELLIX_S_FALSE), PELLIX_S_FALSE);
  Ptr<_ALG_V1S> control = NewControl();
  Check(control.vtbl()->put_DATAstr(control.get(), Bstr(std::string("/no/such/take.smp")).get()));
  Variant result;
  try {
    Check(control.vtbl()->Calibrate(control.get(), result.put()));
    FAIL() << "a missing take calibrated";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.number(), 53);
    EXPECT_EQ(failure.status(), PellixErrorStatus(53));
    EXPECT_STREQ(failure.what(), "File not found");
  }
  // A status with no description of its own reads as its number.
  try {
    Check(PELLIX_E_POINTER);
    FAIL();
  } catch (const Failure& failure) {
    EXPECT_STREQ(failure.what(), "status 0x80004003");
    EXPECT_EQ(failure.number(), 0);
  }
}

}  // namespace
}  // namespace pellix::testing
