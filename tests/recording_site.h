// A container for tests: a switchable UserMode and a log of PropertyChanged names.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/container_site.h"

namespace pellix::testing {

class RecordingSite final : public ContainerSite {
 public:
  bool UserMode() const override { return user_mode; }
  void PropertyChanged(std::string_view name) override { notified.emplace_back(name); }

  bool user_mode = true;
  std::vector<std::string> notified;
};

}  // namespace pellix::testing
