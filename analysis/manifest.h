// The batch manifest: a CSV file that lists, per speaker, the takes to calibrate on and the
// takes to check.
//
//   speaker,role,file
//   alex,calibrate,recordings/alex_calibrate_1.wav
//   alex,check,recordings/alex_check_01.wav
//
// The header names the columns (in any order; other columns are ignored). Fields may be
// quoted ("a, b" and "say ""yes""" as in RFC 4180, line breaks inside quotes included).
// Blank lines are skipped; blanks around an unquoted field are dropped. A relative file is
// relative to the manifest's folder; a URL ("s3://bucket/a.flac", any scheme followed by "://")
// is kept as written, for a reader that opens URLs.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "audio/pcm_samples.h"
#include "platform/error.h"
#include "platform/numbered_error.h"

namespace pellix::analysis {

// One take named by the manifest (or on the command line), or held in memory.
struct Take {
  std::filesystem::path path;  // to open
  std::string name;            // to show: the path as the user will recognise it

  // Instead of a file at `path`: the bytes of a recording or sample file, or PCM samples. They
  // are analysed exactly as the file holding them would be (a sample file by its signature, or
  // by a `name` ending in ".smp"). The memory is `owner`'s when the take owns it (see
  // analysis/memory_take.h), else the caller's, to keep until the take is analysed.
  std::optional<std::span<const std::uint8_t>> bytes = std::nullopt;
  std::optional<PcmSamples> pcm = std::nullopt;
  std::shared_ptr<const void> owner = nullptr;
};

// One speaker's takes, in manifest order.
struct SpeakerTakes {
  std::string speaker;
  std::vector<Take> calibrations;
  std::vector<Take> checks;
};

// A manifest that cannot be used; the message names the file and, where there is one, the
// line ("m.csv:4: role must be calibrate or check, not 'chek'").
// `number` is the platform's: the file's own when it could not be read, else Invalid file
// format.
class ManifestError : public NumberedError {
 public:
  explicit ManifestError(const std::string& message, int number = kInvalidFileFormat)
      : NumberedError(message, number) {}
};

// Whether `file` is a URL: a scheme of two or more characters (a letter, then letters, digits,
// '+', '-' or '.') followed by "://". One letter is a drive, not a scheme.
bool IsUrl(std::string_view file);

// One line of a manifest, however it was given (a CSV line, a row of a table).
struct ManifestRow {
  int line = 0;  // what messages name it by
  std::string speaker;
  std::string role;
  std::string file;
};

// The speakers of the rows, as ParseManifest gives them; messages read "<source>:<line>: ...".
std::vector<SpeakerTakes> ManifestFromRows(const std::vector<ManifestRow>& rows,
                                           const std::string& source,
                                           const std::filesystem::path& folder);

// The speakers of the manifest text, in order of first appearance. `source` names the file in
// messages; `folder` is where relative files are found. Fails with ManifestError.
std::vector<SpeakerTakes> ParseManifest(std::string_view text, const std::string& source,
                                        const std::filesystem::path& folder);

// Reads and parses the manifest file at `path`. Fails with ManifestError, the message naming
// the file, when it cannot be read or parsed.
std::vector<SpeakerTakes> ReadManifest(const std::filesystem::path& path);

}  // namespace pellix::analysis
