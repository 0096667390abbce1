// Shared set-up for the tests of the analysis: a container that records what it is told, and a
// control with a fresh engine state and a sample file system of its own.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "control/alg_v1s.h"
#include "engine/tarvo_alg1.h"
#include "files/file_system.h"
#include "platform/container_site.h"
#include "tests/support/memory_file_system.h"

namespace pellix::testing {

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
  ControlFixture() : ControlFixture(files) {}
  // A control that reads its sample files through `reading` (the disk, say) instead.
  explicit ControlFixture(FileSystem& reading) : control(&site, reading) {
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
  RecordingSite site;
  ALG_V1S control;
};

}  // namespace pellix::testing
