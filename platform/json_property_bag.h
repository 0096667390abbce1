// A property bag kept as one JSON object in a file: key to value, keys in the order first
// written, saved through a temporary file and a rename.
#pragma once

#include <string>

#include "platform/property_bag.h"

namespace pellix {

class JsonPropertyBag final : public MemoryPropertyBag {
 public:
  // Reads the bag file. File not found (53), Permission denied (70) and Path/File access
  // error (75) as for any file; Invalid file format (321) when it is not a JSON object.
  // Values: strings, numbers (Double), booleans, null (Empty); an array or object is kept
  // and raises Type mismatch (13) when read; a number beyond the double range raises
  // Overflow (6) when read.
  static JsonPropertyBag Load(const std::string& path);

  Value ReadProperty(std::string_view name, const Value& default_value) override;

  // Writes every entry as compact JSON and a final line feed into a temporary file beside
  // `path`, then renames it over `path`; a failed save leaves the old file as it was.
  void Save(const std::string& path) const;

 private:
  std::vector<std::pair<std::string, int>> unreadable_;  // key -> error number on read
};

}  // namespace pellix
