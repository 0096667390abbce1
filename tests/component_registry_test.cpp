// The built libPellix.so loaded as hosts load it (dlopen): registration in the per-user
// registry, creation through the registry loader, damaged registries, unload.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "component_host.h"

namespace pellix::testing {
namespace {

namespace fs = std::filesystem;

constexpr const char* kClass = "{DCDCC0A1-B7C2-4620-B8CF-5302339058E8}";
constexpr const char* kOtherClass = "{01234567-89AB-CDEF-0123-456789ABCDEF}";

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char folder[] = "/tmp/pellix_registry_XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    data_home_ = folder;
    ::setenv("XDG_DATA_HOME", folder, 1);
    library_ = ::dlopen(PELLIX_LIBRARY_FILE, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library_, nullptr) << ::dlerror();
    Bind(register_, "DllRegisterServer");
    Bind(unregister_, "DllUnregisterServer");
    Bind(can_unload_, "DllCanUnloadNow");
    Bind(create_, "PellixCreateInstance");
    Bind(last_description_, "PellixLastErrorDescription");
    Bind(free_string_, "PellixSysFreeString");
  }
  void TearDown() override {
    if (library_ != nullptr) ::dlclose(library_);
    fs::remove_all(data_home_);
    ::unsetenv("XDG_DATA_HOME");
  }

  template <class F>
  void Bind(F& function, const char* name) {
    function = reinterpret_cast<F>(::dlsym(library_, name));
    ASSERT_NE(function, nullptr) << name;
  }

  fs::path RegistryFile() const { return data_home_ / "Pellix" / "registry.json"; }
  void WriteRegistry(const std::string& text) const {
    fs::create_directories(RegistryFile().parent_path());
    std::ofstream(RegistryFile()) << text;
  }
  nlohmann::json ReadRegistry() const {
    std::ifstream in(RegistryFile());
    return nlohmann::json::parse(in);
  }
  // The loaded library's own description of its last failure.
  std::string Description() const {
    BSTR text = last_description_();
    std::string out = Utf8(text);
    free_string_(text);
    return out;
  }

  fs::path data_home_;
  void* library_ = nullptr;
  HRESULT (*register_)() = nullptr;
  HRESULT (*unregister_)() = nullptr;
  HRESULT (*can_unload_)() = nullptr;
  HRESULT (*create_)(const char*, const IID*, void**) = nullptr;
  BSTR (*last_description_)() = nullptr;
  void (*free_string_)(BSTR) = nullptr;
};

TEST_F(RegistryTest, RegisterCreateAndUnregisterKeepOtherClasses) {
  WriteRegistry(std::string("{\"") + kOtherClass +
                "\": {\"progid\": \"Other.Thing\", \"library\": \"/nowhere/libother.so\", "
                "\"threading\": \"Apartment\"}}");
  ASSERT_EQ(register_(), S_OK);
  nlohmann::json registry = ReadRegistry();
  EXPECT_TRUE(registry.contains(kOtherClass));
  ASSERT_TRUE(registry.contains(kClass));
  EXPECT_EQ(registry[kClass]["progid"], "Pellix.ALG_V1S");
  EXPECT_EQ(registry[kClass]["library"], fs::canonical(PELLIX_LIBRARY_FILE).string());
  EXPECT_EQ(registry[kClass]["threading"], "Apartment");

  for (const char* name : {"Pellix.ALG_V1S", "{dcdcc0a1-b7c2-4620-b8cf-5302339058e8}"}) {
    Ref<_ALG_V1S> control;
    ASSERT_EQ(create_(name, &IID__ALG_V1S, control.out()), S_OK) << name;
    BSTR caption = nullptr;
    ASSERT_EQ(control->lpVtbl->get_BGfilter(control.get(), &caption), S_OK);
    EXPECT_EQ(Utf8(caption), "2");  // the design caption of the shortest-jump cell
    free_string_(caption);
    EXPECT_EQ(can_unload_(), S_FALSE);
  }
  EXPECT_EQ(can_unload_(), S_OK);

  void* out = nullptr;
  EXPECT_EQ(create_("Other.Missing", &IID_IUnknown, &out), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(create_("Other.Thing", &IID_IUnknown, &out), PellixErrorStatus(53));
  EXPECT_NE(Description().find("/nowhere/libother.so"), std::string::npos);
  EXPECT_EQ(out, nullptr);

  ASSERT_EQ(unregister_(), S_OK);
  registry = ReadRegistry();
  EXPECT_FALSE(registry.contains(kClass));
  EXPECT_TRUE(registry.contains(kOtherClass));
  EXPECT_EQ(unregister_(), S_OK);
}

TEST_F(RegistryTest, ADamagedRegistryIsAnErrorNamingTheFile) {
  const char* damaged[] = {"{not json", "[1, 2]", "{\"{X}\": 3}", "{\"{X}\": {\"progid\": 1}}"};
  for (const char* text : damaged) {
    WriteRegistry(text);
    EXPECT_EQ(register_(), PellixErrorStatus(321)) << text;
    EXPECT_NE(Description().find(RegistryFile().string()), std::string::npos) << text;
    void* out = nullptr;
    EXPECT_EQ(create_("Pellix.ALG_V1S", &IID_IUnknown, &out), PellixErrorStatus(321)) << text;
    std::ifstream in(RegistryFile());
    std::stringstream kept;
    kept << in.rdbuf();
    EXPECT_EQ(kept.str(), text);  // left as it was
  }
}

// The registry is read through the guarded reader: a pipe or a device fails at once (75), a
// file beyond 1 MiB or nesting beyond 512 levels is not a registry (321); at the edges it is.
TEST_F(RegistryTest, ARegistryThatIsNoSmallRegularFileFailsAtOnce) {
  const std::string entry =
      std::string("{\"") + kOtherClass + "\": {\"library\": \"/x\", \"more\": ";
  auto nested = [&](std::size_t depth) {  // the object and the entry are two levels
    return entry + std::string(depth - 2, '[') + std::string(depth - 2, ']') + "}}";
  };
  auto padded = [](std::size_t bytes) { return "{}" + std::string(bytes - 2, ' '); };
  struct Case {
    std::string text;  // empty: made below
    const char* special;
    HRESULT status;
  } cases[] = {
      {"", "pipe", PellixErrorStatus(75)}, {"", "/dev/zero", PellixErrorStatus(75)},
      {padded(1 << 20), nullptr, S_OK},    {padded((1 << 20) + 1), nullptr, PellixErrorStatus(321)},
      {nested(512), nullptr, S_OK},        {nested(513), nullptr, PellixErrorStatus(321)},
  };
  for (const Case& c : cases) {
    fs::remove_all(RegistryFile().parent_path());
    fs::create_directories(RegistryFile().parent_path());
    if (c.special == nullptr) {
      WriteRegistry(c.text);
    } else if (std::string(c.special) == "pipe") {
      ASSERT_EQ(::mkfifo(RegistryFile().c_str(), 0600), 0);
    } else {
      fs::create_symlink(c.special, RegistryFile());
    }
    const std::string what = c.special != nullptr ? c.special : std::to_string(c.text.size());
    EXPECT_EQ(register_(), c.status) << what;
    if (c.status != S_OK) {
      EXPECT_NE(Description().find(RegistryFile().string()), std::string::npos) << what;
      void* out = nullptr;
      EXPECT_EQ(create_("Pellix.ALG_V1S", &IID_IUnknown, &out), c.status) << what;
    }
  }
}

}  // namespace
}  // namespace pellix::testing
