#include "engine/forms.h"

namespace Tarvo_alg1 {

const Forms& ActiveForms() noexcept {
#if !defined(PELLIX_PORTABLE)
  switch (ActiveInstructionSet()) {
    case InstructionSet::kAvx512:
      return Avx512Forms();
    case InstructionSet::kAvx2:
      return Avx2Forms();
    case InstructionSet::kBaseline:
      return Sse2Forms();
    case InstructionSet::kPlain:
      break;
  }
#endif
  return PlainForms();
}

}  // namespace Tarvo_alg1
