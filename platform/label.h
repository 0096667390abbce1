// A plain text label of the form toolkit: a caption and a position in twips.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pellix {

struct TwipsRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};

class Label {
 public:
  Label() = default;
  Label(std::string caption, TwipsRect position)
      : caption_(std::move(caption)), position_(position) {}

  // The caption; raises the refusal's error when the label has been told to refuse gets.
  const std::string& caption() const;
  // Sets the caption; raises the refusal's error (and keeps the old caption) when refused.
  void set_caption(std::string text);

  const TwipsRect& position() const noexcept { return position_; }

  // Makes every later caption put (or get) fail with the platform error `number`, the way a
  // toolkit refuses; std::nullopt accepts again. Lets tests drive the error paths.
  void RefuseCaptionPuts(std::optional<int> number) noexcept { refuse_put_ = number; }
  void RefuseCaptionGets(std::optional<int> number) noexcept { refuse_get_ = number; }

 private:
  std::string caption_;
  TwipsRect position_;
  std::optional<int> refuse_put_;
  std::optional<int> refuse_get_;
};

}  // namespace pellix
