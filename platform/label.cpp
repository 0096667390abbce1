#include "platform/label.h"

#include <utility>

#include "platform/error.h"

namespace pellix {

const std::string& Label::caption() const {
  if (refuse_get_) RaiseError(*refuse_get_);
  return caption_;
}

void Label::set_caption(std::string text) {
  // A refused put leaves the caption as it was, as the toolkit does.
  if (refuse_put_) RaiseError(*refuse_put_);
  caption_ = std::move(text);
  if (listener_ != nullptr) listener_->CaptionChanged(*this, caption_);
}

}  // namespace pellix
