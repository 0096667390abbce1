// Where a take named by a path or a URL is read from. Every face reads file:// URLs as local
// files, here, so that a manifest of them gives the same rows in the command, the C library and
// the Python package; other schemes (s3://, http://, ...) are read by the Python package, which
// hands the library the bytes.
#pragma once

#include <filesystem>
#include <string>

namespace pellix::analysis {

// The local file `take` names: `take` itself, or the path of a file:// URL ("file:///data/a.wav",
// "file://localhost/data/a.wav"), its %XX escapes decoded and its query and fragment left out.
// Raises FileError naming `take` as a `what` ("recording"): 5 for a NUL in the name or in what
// a URL decodes to (the file after it would never be reached), 75 for a file:// URL of another
// host or of no file, or a URL of another scheme, saying where those are read.
std::filesystem::path LocalTakePath(const std::string& take, const char* what);

}  // namespace pellix::analysis
