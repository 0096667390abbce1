#include "shell/alg_v1s.h"

#include "shell/interface_table.h"

namespace pellix {

// The language's defaults: every member is default-initialised in the class (texts empty,
// integers 0, CR_SFLC Empty) and the panel starts at its design captions.
ALG_V1S::ALG_V1S(ContainerSite* site) : site_(site) {}

void ALG_V1S::Notify(std::string_view property) {
  // The interface table gives the name the property's put notifies under.
  for (const InterfaceMember& member : InterfaceTable()) {
    if (member.kind == MemberKind::kPropertyPut && member.name == property) {
      (site_ != nullptr ? *site_ : DetachedSite()).PropertyChanged(member.notification);
      return;
    }
  }
}

bool ALG_V1S::UserMode() const {
  return (site_ != nullptr ? *site_ : DetachedSite()).UserMode();
}

}  // namespace pellix
