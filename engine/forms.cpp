#include "engine/forms.h"

namespace Tarvo_alg1 {

const Forms& ActiveForms() noexcept {
#if !defined(PELLIX_PORTABLE)
  switch (pellix::ActiveInstructionSet()) {
    case pellix::InstructionSet::kAvx512:
      return Avx512Forms();
    case pellix::InstructionSet::kAvx2:
      return Avx2Forms();
    case pellix::InstructionSet::kBaseline:
      return Sse2Forms();
    case pellix::InstructionSet::kPlain:
      break;
  }
#endif
  return PlainForms();
}

}  // namespace Tarvo_alg1
