#include "control/alg_v1s.h"

#include <utility>

#include "control/interface_table.h"
#include "engine/tarvo_alg1.h"
#include "files/file_system.h"

namespace pellix {

// The language's defaults: every member is default-initialised in the class (texts empty,
// integers 0, CR_SFLC Empty) and the panel starts at its design captions. A state of its own
// starts as the module's does when the library loads: every number 0, every text empty.
ALG_V1S::ALG_V1S(ContainerSite* site) : ALG_V1S(site, NativeFileSystem()) {}

ALG_V1S::ALG_V1S(ContainerSite* site, FileSystem& files,
                 std::shared_ptr<Tarvo_alg1::SharedState> state)
    : site_(site),
      files_(&files),
      state_(state ? std::move(state) : std::make_shared<Tarvo_alg1::SharedState>()) {}

void ALG_V1S::Notify(std::size_t position) {
  (site_ != nullptr ? *site_ : DetachedSite())
      .PropertyChanged(InterfaceTable()[position].notification);
}

bool ALG_V1S::UserMode() const {
  return (site_ != nullptr ? *site_ : DetachedSite()).UserMode();
}

}  // namespace pellix
