// A property bag kept as one JSON object in a file: key to value, keys in the order first
// written, a later write replacing the value, names matched exactly; saved through a
// temporary file and a rename.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/property_bag.h"

namespace pellix {

class JsonPropertyBag final : public PropertyBag {
 public:
  JsonPropertyBag();
  ~JsonPropertyBag() override;
  JsonPropertyBag(JsonPropertyBag&&) noexcept;
  JsonPropertyBag& operator=(JsonPropertyBag&&) noexcept;

  // Reads the bag file (see ReadJsonText: regular files of at most kMaxTextFileSize bytes,
  // nesting at most kMaxJsonNesting deep). File not found (53), Permission denied (70) and
  // Path/File access error (75) as for any file; Invalid file format (321) when it is not a
  // JSON object. File errors are FileError, whose what() gives the cause.
  // Invalid UTF-8 and lone surrogate escapes read as U+FFFD. Values: strings (String), numbers
  // (Double), booleans (Boolean), null (Empty); an array or object is kept and raises Type mismatch
  // (13) when read; a number beyond the double range is kept and raises Overflow (6) when read.
  static JsonPropertyBag Load(const std::string& path);

  Value ReadProperty(std::string_view name, const Value& default_value) override;
  // Stores the value as JSON: a text as a string, a number as a number (a whole Double up to
  // 2^53 as an integer), a Boolean as a boolean, Empty as null. Every value is kept, defaults
  // included.
  void WriteProperty(std::string_view name, const Value& value,
                     const Value& default_value) override;

  // The keys in the order first written (or read from the file).
  std::vector<std::string> keys() const;

  // Compact JSON and a final line feed, UTF-8 as it is.
  std::string Text() const;

  // Writes Text() to `path` with WriteFileAtomically. A failed save raises FileError:
  // Permission denied (70), File not found (53) for a missing directory, or Path/File access
  // error (75) otherwise (a directory, pipe or device at `path` included, or a bag larger than
  // Load accepts), and leaves the old file as it was and no temporary file behind.
  void Save(const std::string& path) const;

 private:
  struct Store;
  std::unique_ptr<Store> store_;
};

}  // namespace pellix
