#include "shell/alg_v1s.h"

namespace pellix {

// The language's defaults: every member is default-initialised in the class (texts empty,
// integers 0, CR_SFLC Empty) and the panel starts at its design captions.
ALG_V1S::ALG_V1S(ContainerSite* site) : site_(site) {}

void ALG_V1S::Notify(std::string_view property_name) {
  (site_ != nullptr ? *site_ : DetachedSite()).PropertyChanged(property_name);
}

bool ALG_V1S::UserMode() const {
  return (site_ != nullptr ? *site_ : DetachedSite()).UserMode();
}

}  // namespace pellix
