// Initalize: distributes the packed parameter string in DATAstr over the panel and the
// members (control/parameter_fields.h), then loads the analysis constants. Every step runs with
// errors ignored: a step that fails is skipped and the next one runs.
#include <cstddef>
#include <string>

#include "control/alg_v1s.h"
#include "control/parameter_fields.h"
#include "engine/tarvo_alg1.h"
#include "platform/conversions.h"
#include "platform/resume_next.h"
#include "platform/text.h"

namespace pellix {

Value ALG_V1S::Initalize() {
  // Positions count characters; a string with broken UTF-8 is read as the host would see it.
  const std::string parameters = SanitizeUtf8(DATAstr_);
  for (const ParameterField& f : kParameterFields) {
    // The field's number; 0 for an empty field.
    const auto value = [&] { return Val(MidText(parameters, f.position, f.length)); };
    switch (f.kind) {
      case FieldTarget::kCell:
        ResumeNext([&] { f.cell(panel_).set_caption(NumberText(value())); });
        break;
      case FieldTarget::kDensityLevel:
        ResumeNext([&] { DensityLevel_ = ToInteger16(value()); });
        break;
      case FieldTarget::kMode:
        ResumeNext([&] { Mode_ = NumberText(value()); });
        break;
    }
  }

  ResumeNext([this] { Tarvo_alg1::LoadAnalysisConstants(*state_); });
  return Value();
}

}  // namespace pellix
