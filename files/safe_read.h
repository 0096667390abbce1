// The one way Pellix reads a file it is handed (a bag, a manifest, a script, the class
// registry, state and history files): never blocking, regular files only, never more than a
// stated size, and for JSON never deeper than a stated nesting, so that naming a pipe, a
// device, a huge or a hostile file ends at once with a clear error instead of a hang,
// exhausted memory or an exhausted stack.
//
// The reader takes no lock, and callers must not hold one across it: a file on a stalled
// network mount can still make a read wait, and nothing else should wait with it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace pellix {

// The most a bag, a manifest or a script may hold: far more than any real one.
inline constexpr std::uint64_t kMaxTextFileSize = 64u << 20;
// The deepest nesting of arrays and objects a JSON file may have: far more than any of ours,
// and little enough for the recursive code that walks a parsed document.
inline constexpr std::size_t kMaxJsonNesting = 512;

struct ReadLimits {
  std::uint64_t max_bytes = kMaxTextFileSize;
  std::size_t max_nesting = kMaxJsonNesting;  // JSON only
};

// The whole contents of the regular file at `path`. The open does not wait (a pipe with no
// writer is refused at once). Raises FileError: File not found (53) for a missing file or
// folder, Permission denied (70), Path/File access error (75) for a directory, pipe, device
// or socket ("it is a pipe, not a regular file") or a failed read, Invalid file format (321)
// when it holds more than `max_bytes` bytes.
std::string ReadRegularFile(const std::string& path, std::uint64_t max_bytes = kMaxTextFileSize);

// The JSON text of the file at `path`, ready for any parser: read as ReadRegularFile reads
// (limits.max_bytes), invalid UTF-8 replaced by U+FFFD, and a lone surrogate escape ("\ud800"
// without its pair) replaced by "\ufffd", as texts crossing into UTF-16 and back read. Raises
// what ReadRegularFile raises, and FileError Invalid file format (321) when arrays and
// objects nest deeper than limits.max_nesting. Whether the text is JSON is the parser's to say.
std::string ReadJsonText(const std::string& path, const ReadLimits& limits = {});

// `json` with lone surrogate escapes replaced (see ReadJsonText); raises FileError (321) when
// it nests deeper than `max_nesting`. Strings are skipped whole, so brackets inside them do
// not count.
std::string PrepareJsonText(std::string_view json, std::size_t max_nesting = kMaxJsonNesting);

// Why a file of mode `mode` (from stat) is not a regular file, in words ("it is a directory");
// empty for a regular file.
std::string NotRegularFileReason(unsigned mode);

}  // namespace pellix
