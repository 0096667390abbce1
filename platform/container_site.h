// The container's services that a control uses: the ambient UserMode and PropertyChanged.
#pragma once

#include <string_view>

namespace pellix {

class ContainerSite {
 public:
  virtual ~ContainerSite() = default;
  // The ambient UserMode: true in run mode, false in design mode.
  virtual bool UserMode() const = 0;
  // The control tells the container that a property changed, by the property's name.
  virtual void PropertyChanged(std::string_view name) = 0;
};

// A container in run mode that ignores notifications; used when a control has no site.
ContainerSite& DetachedSite();

}  // namespace pellix
