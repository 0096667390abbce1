// Shared set-up for the tests of the analysis: a fresh module state, a container that records
// what it is told, and a control with a sample file system of its own.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "control/alg_v1s.h"
#include "engine/tarvo_alg1.h"
#include "platform/container_site.h"
#include "platform/file_system.h"
#include "tests/support/memory_file_system.h"

namespace pellix::testing {

// Puts this thread's module state back to what a freshly loaded library has: every number 0,
// every text empty, ResultCode Empty, no constants loaded, an empty sample store.
inline void ResetSharedState() {
  auto fresh = std::make_unique<Tarvo_alg1::SharedState>();
  Tarvo_alg1::Shared() = *fresh;
}

// A container in run mode that keeps the names it is notified of, in order, and lets a test
// look at the control at the moment of each notification.
class RecordingSite final : public ContainerSite {
 public:
  bool UserMode() const override { return true; }
  void PropertyChanged(std::string_view name) override {
    names.emplace_back(name);
    if (on_change) on_change(name);
  }
  std::vector<std::string> names;
  std::function<void(std::string_view)> on_change;
};

// A new control instance in a recording container, reading its sample files from memory.
class ControlFixture {
 protected:
  ControlFixture() : files_guard_(files), control(&site) {
    ResetSharedState();
    control.InitProperties();
  }

  // Gain 3 and background border 0, the settings TakeBuilder files are made for, without
  // running Initalize (which would also load the analysis constants).
  void UseTakeSettings() {
    control.panel().Filters[1].set_caption("3");
    control.panel().BG_LEVEL.set_caption("0");
    control.panel().Filters[3].set_caption("2");
    control.panel().Filters[4].set_caption("30");
  }

  // Names `path` in DATAstr after storing `bytes` under it.
  void UseFile(const std::string& path, std::vector<std::uint8_t> bytes) {
    files.Add(path, std::move(bytes));
    control.put_DATAstr(path);
  }

  MemoryFileSystem files;
  ScopedFileSystem files_guard_;
  RecordingSite site;
  ALG_V1S control;
};

}  // namespace pellix::testing
