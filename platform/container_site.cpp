#include "platform/container_site.h"

namespace pellix {

namespace {

// Run mode, nobody listening: what a control sees before a container sites it.
class DetachedContainerSite final : public ContainerSite {
 public:
  bool UserMode() const override { return true; }
  void PropertyChanged(std::string_view) override {}
};

}  // namespace

ContainerSite& DetachedSite() {
  // Stateless, so one shared instance serves every thread.
  static DetachedContainerSite site;
  return site;
}

}  // namespace pellix
