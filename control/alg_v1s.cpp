#include "control/alg_v1s.h"

#include "control/interface_table.h"

namespace pellix {

// The language's defaults: every member is default-initialised in the class (texts empty,
// integers 0, CR_SFLC Empty) and the panel starts at its design captions.
ALG_V1S::ALG_V1S(ContainerSite* site) : site_(site) {}

void ALG_V1S::Notify(std::size_t position) {
  (site_ != nullptr ? *site_ : DetachedSite())
      .PropertyChanged(InterfaceTable()[position].notification);
}

bool ALG_V1S::UserMode() const {
  return (site_ != nullptr ? *site_ : DetachedSite()).UserMode();
}

}  // namespace pellix
