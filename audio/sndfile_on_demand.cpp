// libsndfile's functions that Pellix reads and writes recordings with, for a program that loads
// libsndfile (and the seven codec libraries it brings) only when a recording first needs it
// (see platform/on_demand_library.h): a sample file, a plain WAV, --version or a parameter
// string start without them. Each looks up the real function on its first call. Without
// libsndfile, opening a recording fails as libsndfile fails to open one it cannot read: the
// open gives no file, and sf_strerror(nullptr) says why, so the recording is refused (321) by
// name, as a damaged one is.
//
// The stand-ins are hidden, as libFLAC's are: a program's function of the same name as one of
// libsndfile's must never be exported to stand in for it inside libsndfile.
#include <sndfile.h>

#include <string>

#include "files/file_error.h"
#include "platform/on_demand_library.h"

namespace {

// The cause alone: the reader that called names the recording.
constexpr pellix::OnDemandStandIns<pellix::FileError> kSndfile{
    "libsndfile.so.1",
    [](int number, const std::string& cause) { return pellix::FileError(number, cause); },
    pellix::kInvalidFileFormat, ""};

}  // namespace

#define PELLIX_SNDFILE_CALL(name, ...) PELLIX_ON_DEMAND_CALL(kSndfile, name, __VA_ARGS__)

// An open whose library cannot be loaded gives no file, as libsndfile's own failed opens do.
#define PELLIX_SNDFILE_OPEN(name, ...)      \
  try {                                     \
    PELLIX_SNDFILE_CALL(name, __VA_ARGS__); \
  } catch (const pellix::FileError&) {      \
    return nullptr;                         \
  }

extern "C" {
#pragma GCC visibility push(hidden)

SNDFILE* sf_open(const char* path, int mode, SF_INFO* info) {
  PELLIX_SNDFILE_OPEN(sf_open, path, mode, info);
}
SNDFILE* sf_open_fd(int fd, int mode, SF_INFO* info, int close_desc) {
  PELLIX_SNDFILE_OPEN(sf_open_fd, fd, mode, info, close_desc);
}
SNDFILE* sf_open_virtual(SF_VIRTUAL_IO* io, int mode, SF_INFO* info, void* user_data) {
  PELLIX_SNDFILE_OPEN(sf_open_virtual, io, mode, info, user_data);
}
// Why the last open failed, for a null file: the library's own words, or why it is missing.
const char* sf_strerror(SNDFILE* file) {
  try {
    PELLIX_SNDFILE_CALL(sf_strerror, file);
  } catch (const pellix::FileError& error) {
    thread_local std::string cause;
    cause = error.what();
    return cause.c_str();
  }
}
int sf_error(SNDFILE* file) {
  PELLIX_SNDFILE_CALL(sf_error, file);
}
sf_count_t sf_seek(SNDFILE* file, sf_count_t frames, int whence) {
  PELLIX_SNDFILE_CALL(sf_seek, file, frames, whence);
}
sf_count_t sf_readf_short(SNDFILE* file, short* out, sf_count_t frames) {
  PELLIX_SNDFILE_CALL(sf_readf_short, file, out, frames);
}
sf_count_t sf_readf_float(SNDFILE* file, float* out, sf_count_t frames) {
  PELLIX_SNDFILE_CALL(sf_readf_float, file, out, frames);
}
sf_count_t sf_readf_double(SNDFILE* file, double* out, sf_count_t frames) {
  PELLIX_SNDFILE_CALL(sf_readf_double, file, out, frames);
}
sf_count_t sf_writef_short(SNDFILE* file, const short* in, sf_count_t frames) {
  PELLIX_SNDFILE_CALL(sf_writef_short, file, in, frames);
}
sf_count_t sf_writef_float(SNDFILE* file, const float* in, sf_count_t frames) {
  PELLIX_SNDFILE_CALL(sf_writef_float, file, in, frames);
}
int sf_close(SNDFILE* file) {
  PELLIX_SNDFILE_CALL(sf_close, file);
}

#pragma GCC visibility pop
}  // extern "C"
