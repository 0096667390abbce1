#include "analysis/text_file.h"

#include <string>

#include "files/atomic_file.h"
#include "files/file_error.h"

namespace pellix {

void WriteTextFile(const std::filesystem::path& path, std::string_view text,
                   std::string_view what) {
  try {
    WriteFileAtomically(path.string(), text);
  } catch (const FileError& e) {
    throw FileError::Message(
        e.number(), "cannot write " + std::string(what) + " '" + path.string() + "': " + e.what());
  }
}

}  // namespace pellix
