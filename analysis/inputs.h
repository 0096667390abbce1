// The takes a user names on the command line: files, "-" for standard input, folders (their
// recordings, sorted by name) and quoted glob patterns (their matches, sorted).
#pragma once

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "analysis/manifest.h"
#include "audio/scratch_folder.h"
#include "platform/numbered_error.h"

namespace pellix::analysis {

// A name that matches nothing, a folder without recordings, "-" named twice, or standard input
// that cannot be saved. The message names the input.
class InputError : public NumberedError {
 public:
  using NumberedError::NumberedError;
};

// Whether `name` ends in an extension of a recording or a sample file that a folder's listing
// takes in (".wav", ".flac", ".ogg", ".smp", ...; any case).
bool IsRecordingName(const std::filesystem::path& name);

// Expands `names` in order. A URL ("file:///data/a.wav") passes as it is. "-" saves standard input
// into `scratch` once (standard input may be named only once in a run), making `scratch` when it is
// still empty. A name with *, ? or [ that is not itself an existing file is a glob pattern. Other
// names pass as they are, existing or not, so that a missing file is reported with the others when
// it is read. Fails with InputError.
std::vector<Take> ExpandInputs(const std::vector<std::string>& names,
                               std::optional<ScratchFolder>& scratch, bool& standard_input_used);

}  // namespace pellix::analysis
