// A plain text label of the form toolkit: a caption and a position in twips.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pellix {

class Label;

// Told of every caption a label accepts, with the new caption, on the thread that set it,
// right after the change. A listener must not throw or set captions itself.
class CaptionListener {
 public:
  virtual void CaptionChanged(const Label& label, const std::string& caption) noexcept = 0;

 protected:
  ~CaptionListener() = default;
};

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
  // Sets the caption and tells the listener; raises the refusal's error (and keeps the old
  // caption, telling nobody) when refused.
  void set_caption(std::string text);

  const TwipsRect& position() const noexcept { return position_; }

  // The one listener told of caption changes, or nullptr for none. Not owned.
  void set_listener(CaptionListener* listener) noexcept { listener_ = listener; }

  // Makes every later caption put (or get) fail with the platform error `number`, the way a
  // toolkit refuses; std::nullopt accepts again. Lets tests drive the error paths.
  void RefuseCaptionPuts(std::optional<int> number) noexcept { refuse_put_ = number; }
  void RefuseCaptionGets(std::optional<int> number) noexcept { refuse_get_ = number; }

 private:
  std::string caption_;
  TwipsRect position_;
  std::optional<int> refuse_put_;
  std::optional<int> refuse_get_;
  CaptionListener* listener_ = nullptr;
};

}  // namespace pellix
