// The component under threads: a control used off the thread that created it is refused and
// left as it was, the instances of a thread share one analysis state, reference counts hold under
// concurrent AddRef and Release, instances are created and released on eight threads at once, and
// the registry stays a whole file while threads and processes register and unregister together.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "component_host.h"

namespace pellix::testing {
namespace {

namespace fs = std::filesystem;

constexpr int kThreads = 8;
const IID kNoInterface{};  // Invoke's reserved interface argument

Ref<IDispatch> NewInstance() {
  Ref<IClassFactory> factory;
  EXPECT_EQ(DllGetClassObject(&CLSID_ALG_V1S, &IID_IClassFactory, factory.out()), S_OK);
  Ref<IDispatch> control;
  EXPECT_EQ(factory->lpVtbl->CreateInstance(factory.get(), nullptr, &IID_IDispatch, control.out()),
            S_OK);
  return control;
}

DISPID IdOf(IDispatch* d, const char16_t* name) {
  LPOLESTR names[] = {const_cast<LPOLESTR>(reinterpret_cast<const OLECHAR*>(name))};
  DISPID id = DISPID_UNKNOWN;
  EXPECT_EQ(d->lpVtbl->GetIDsOfNames(d, &kNoInterface, names, 1, 0, &id), S_OK);
  return id;
}

// A put of a text by Invoke; returns the status.
HRESULT PutText(IDispatch* d, DISPID id, const char* text) {
  VARIANT value;
  PellixVariantInit(&value);
  value.vt = VT_BSTR;
  value.u.bstrVal = PellixSysAllocStringUtf8(text);
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS params{&value, &named, 1, 1};
  const HRESULT status = d->lpVtbl->Invoke(d, id, &kNoInterface, 0, DISPATCH_PROPERTYPUT, &params,
                                           nullptr, nullptr, nullptr);
  PellixVariantClear(&value);
  return status;
}

// A get or a method call by Invoke; the result's text, or the status when it fails.
std::string Call(IDispatch* d, DISPID id, WORD kind) {
  VARIANT result;
  PellixVariantInit(&result);
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  const HRESULT status =
      d->lpVtbl->Invoke(d, id, &kNoInterface, 0, kind, &none, &result, nullptr, nullptr);
  std::string text = status != S_OK         ? "status " + std::to_string(status)
                     : result.vt == VT_BSTR ? Utf8(result.u.bstrVal)
                                            : "vt " + std::to_string(result.vt);
  PellixVariantClear(&result);
  return text;
}

TEST(ComponentThreadsTest, AControlUsedFromAnotherThreadIsRefusedAndKeepsItsState) {
  Ref<IDispatch> control = NewInstance();
  IDispatch* d = control.get();
  const DISPID data = IdOf(d, u"DATAstr");
  const DISPID check = IdOf(d, u"Check");
  const DISPID reset = IdOf(d, u"ResetAll");
  ASSERT_EQ(PutText(d, data, "mine"), S_OK);

  HRESULT put = S_OK;
  std::string got, checked, was_reset;
  std::thread([&] {
    put = PutText(d, data, "theirs");
    got = Call(d, data, DISPATCH_PROPERTYGET);
    checked = Call(d, check, DISPATCH_METHOD);
    was_reset = Call(d, reset, DISPATCH_METHOD);
    // Counting references is not using the control: any thread may.
    d->lpVtbl->AddRef(d);
    d->lpVtbl->Release(d);
  }).join();
  const std::string wrong_thread = "status " + std::to_string(RPC_E_WRONG_THREAD);
  EXPECT_EQ(put, RPC_E_WRONG_THREAD);
  EXPECT_EQ(got, wrong_thread);
  EXPECT_EQ(checked, wrong_thread);
  EXPECT_EQ(was_reset, wrong_thread);
  EXPECT_EQ(Call(d, data, DISPATCH_PROPERTYGET), "mine");
}

// The instances made on one thread share the analysis state, as the module's variables are
// shared: an instance never initialised checks with the constants another one's Initalize
// loaded (without them a check gives -2), also after every instance is gone. An instance on
// another thread has a state of its own. Each thread below starts with no instance made on it.
TEST(ComponentThreadsTest, InstancesOnAThreadShareTheAnalysisStateAndNoOtherThreadsDo) {
  const std::string take = std::string(PELLIX_SOURCE_DIR) + "/examples/samples/alex_check_01.smp";
  auto check = [&take](IDispatch* d) {
    EXPECT_EQ(PutText(d, IdOf(d, u"DATAstr"), take.c_str()), S_OK);
    Call(d, IdOf(d, u"Check"), DISPATCH_METHOD);
    return Call(d, IdOf(d, u"CR_msgX"), DISPATCH_PROPERTYGET);
  };
  std::string before, after, after_release, elsewhere;
  std::thread([&] {
    Ref<IDispatch> checking = NewInstance();
    before = check(checking.get());
    {
      Ref<IDispatch> initialising = NewInstance();
      ASSERT_EQ(
          PutText(initialising.get(), IdOf(initialising.get(), u"DATAstr"), "000023000005000000"),
          S_OK);
      Call(initialising.get(), IdOf(initialising.get(), u"Initalize"), DISPATCH_METHOD);
    }
    after = check(checking.get());
    checking.reset();
    after_release = check(NewInstance().get());
    std::thread([&] { elsewhere = check(NewInstance().get()); }).join();
  }).join();
  EXPECT_EQ(before, "-2");
  EXPECT_NE(after, "-2");
  EXPECT_NE(after_release, "-2");
  EXPECT_EQ(elsewhere, "-2");
}

TEST(ComponentThreadsTest, ReferenceCountsHoldUnderConcurrentAddRefAndRelease) {
  Ref<IDispatch> control = NewInstance();
  IDispatch* d = control.get();
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([d] {
      for (int i = 0; i < 20000; ++i) {
        d->lpVtbl->AddRef(d);
        d->lpVtbl->Release(d);
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(d->lpVtbl->AddRef(d), 2u);
  EXPECT_EQ(d->lpVtbl->Release(d), 1u);
}

TEST(ComponentThreadsTest, InstancesCreatedAndReleasedOnEightThreadsAtOnce) {
  PellixSetErrorInfo(0, nullptr);
  ASSERT_EQ(DllCanUnloadNow(), S_OK);
  std::atomic<int> wrong = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&wrong, t] {
      for (int i = 0; i < 300; ++i) {
        Ref<IDispatch> control = NewInstance();
        // Each thread's instances are its own: what one puts, only it reads back.
        const std::string mine = "thread " + std::to_string(t) + " instance " + std::to_string(i);
        if (PutText(control.get(), IdOf(control.get(), u"MSGstring"), mine.c_str()) != S_OK ||
            Call(control.get(), IdOf(control.get(), u"MSGstring"), DISPATCH_PROPERTYGET) != mine) {
          ++wrong;
        }
      }
      PellixSetErrorInfo(0, nullptr);
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(DllCanUnloadNow(), S_OK);  // every instance and factory is gone
}

TEST(ComponentThreadsTest, TheRegistryStaysWholeWhileThreadsAndProcessesRegister) {
  const fs::path home = fs::temp_directory_path() / ("pellix_registry_" + std::to_string(getpid()));
  fs::remove_all(home);
  fs::create_directories(home);
  const char* saved = getenv("XDG_DATA_HOME");
  const std::string previous = saved != nullptr ? saved : "";
  setenv("XDG_DATA_HOME", home.c_str(), 1);
  const fs::path registry = home / "Pellix" / "registry.json";

  // Another class's entry, which no registration may lose.
  fs::create_directories(registry.parent_path());
  std::ofstream(registry)
      << R"({"{00000000-0000-0000-0000-000000000001}":{"progid":"Other.Class","library":"/usr/lib/other.so","threading":"Apartment"}})";

  // The processes are forked before any thread starts: a child forked while another thread
  // holds a lock (the allocator's, a stream's) would wait for it forever.
  std::vector<pid_t> children;
  for (int p = 0; p < 2; ++p) {
    const pid_t pid = fork();
    if (pid == 0) {
      for (int i = 0; i < 100; ++i) DllRegisterServer();
      _exit(0);
    }
    children.push_back(pid);
  }
  std::atomic<bool> stop = false;
  std::atomic<int> torn = 0;
  std::thread reader([&] {
    while (!stop) {
      std::ifstream in(registry);
      const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
      if (!nlohmann::json::accept(text)) ++torn;
    }
  });
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < 100; ++i) (t % 2 == 0 ? DllRegisterServer : DllUnregisterServer)();
    });
  }
  for (auto& t : threads) t.join();
  for (pid_t pid : children) waitpid(pid, nullptr, 0);
  EXPECT_EQ(DllRegisterServer(), S_OK);
  stop = true;
  reader.join();
  EXPECT_EQ(torn, 0) << "a reader saw a half-written registry";

  std::ifstream in(registry);
  const nlohmann::json entries = nlohmann::json::parse(in);
  EXPECT_TRUE(entries.contains("{00000000-0000-0000-0000-000000000001}"));
  EXPECT_EQ(entries.size(), 2u);
  EXPECT_EQ(DllUnregisterServer(), S_OK);
  const nlohmann::json after = nlohmann::json::parse(std::ifstream(registry));
  EXPECT_EQ(after.size(), 1u);

  if (saved != nullptr) {
    setenv("XDG_DATA_HOME", previous.c_str(), 1);
  } else {
    unsetenv("XDG_DATA_HOME");
  }
  fs::remove_all(home);
}

}  // namespace
}  // namespace pellix::testing
