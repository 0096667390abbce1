// Initalize: distributes the packed parameter string in DATAstr over the panel and the
// members, then loads the analysis constants. Every step runs with errors ignored: a step
// that fails is skipped and the next one runs.
#include <cstddef>
#include <string>

#include "engine/tarvo_alg1.h"
#include "platform/conversions.h"
#include "platform/resume_next.h"
#include "platform/text.h"
#include "shell/alg_v1s.h"

namespace pellix {

Value ALG_V1S::Initalize() {
  // Positions count characters; a string with broken UTF-8 is read as the host would see it.
  const std::string parameters = SanitizeUtf8(m_DATAstr);
  // The numeric value of the field at 1-based character `start`; 0 for an empty field.
  auto field = [&parameters](std::size_t start, std::size_t length) {
    return Val(MidText(parameters, start, length));
  };
  auto number_text = [&](Label& label, std::size_t start, std::size_t length) {
    ResumeNext([&] { label.set_caption(NumberText(field(start, length))); });
  };

  // Positions 1 to 3 and 19 onward are not the control's.
  number_text(panel_.Filters[3], 4, 2);  // shortest jump
  number_text(panel_.Filters[4], 6, 2);  // longest jump
  ResumeNext([&] { m_DensityLevel = ToInteger16(field(8, 2)); });
  ResumeNext([&] { m_Mode = NumberText(field(10, 1)); });  // not the MODE cell Filters(5)
  number_text(panel_.BG_LEVEL, 11, 2);                     // background border level
  number_text(panel_.Filters[0], 13, 2);                   // background filter
  number_text(panel_.Filters[1], 15, 2);                   // volume, read as the gain
  number_text(panel_.Filters[2], 17, 2);                   // added volume

  ResumeNext([] { Tarvo_alg1::LoadAnalysisConstants(); });
  return Value();
}

}  // namespace pellix
