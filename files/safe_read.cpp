#include "files/safe_read.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "files/file_descriptor.h"
#include "files/file_error.h"
#include "platform/text.h"

namespace pellix {
namespace {

std::string Size(std::uint64_t bytes) {
  if (bytes % (1u << 20) == 0) return std::to_string(bytes >> 20) + " MiB";
  return std::to_string(bytes) + " bytes";
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The code unit of the escape "\uXXXX" at `at` in `json`, or -1 when there is none.
long EscapedUnit(std::string_view json, std::size_t at) {
  if (at + 6 > json.size() || json[at] != '\\' || json[at + 1] != 'u') return -1;
  long unit = 0;
  for (std::size_t i = at + 2; i < at + 6; ++i) {
    const int digit = HexValue(json[i]);
    if (digit < 0) return -1;
    unit = unit * 16 + digit;
  }
  return unit;
}

bool IsHighSurrogate(long unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}
bool IsLowSurrogate(long unit) {
  return unit >= 0xDC00 && unit <= 0xDFFF;
}

}  // namespace

std::string PrepareJsonText(std::string_view json, std::size_t max_nesting) {
  std::string out;
  out.reserve(json.size());
  std::size_t depth = 0;
  bool in_string = false;
  for (std::size_t i = 0; i < json.size();) {
    const char c = json[i];
    if (!in_string) {
      if (c == '[' || c == '{') {
        if (++depth > max_nesting) {
          throw FileError(kInvalidFileFormat, "it nests deeper than " +
                                                  std::to_string(max_nesting) +
                                                  " levels, more than such a file ever does");
        }
      } else if ((c == ']' || c == '}') && depth > 0) {
        --depth;
      }
      in_string = c == '"';
      out += c;
      ++i;
      continue;
    }
    if (c == '"') {
      in_string = false;
    } else if (c == '\\') {
      const long unit = EscapedUnit(json, i);
      if (unit < 0) {  // another escape: copied with the character it escapes
        out.append(json.substr(i, 2));
        i += 2;
        continue;
      }
      if (IsHighSurrogate(unit) && IsLowSurrogate(EscapedUnit(json, i + 6))) {
        out.append(json.substr(i, 12));
        i += 12;
        continue;
      }
      out.append(IsHighSurrogate(unit) || IsLowSurrogate(unit) ? "\\ufffd" : json.substr(i, 6));
      i += 6;
      continue;
    }
    out += c;
    ++i;
  }
  return out;
}

std::string ReadJsonText(const std::string& path, const ReadLimits& limits) {
  return PrepareJsonText(SanitizeUtf8(ReadRegularFile(path, limits.max_bytes)), limits.max_nesting);
}

std::string NotRegularFileReason(unsigned mode) {
  if (S_ISREG(mode)) return {};
  if (S_ISDIR(mode)) return "it is a directory";
  const char* kind = S_ISFIFO(mode)                   ? "a pipe"
                     : S_ISCHR(mode) || S_ISBLK(mode) ? "a device"
                     : S_ISSOCK(mode)                 ? "a socket"
                                                      : "something else";
  return std::string("it is ") + kind + ", not a regular file";
}

std::string ReadRegularFile(const std::string& path, std::uint64_t max_bytes) {
  if (path.empty()) throw FileError(kFileNotFound, "the path is empty");
  if (path.find('\0') != std::string::npos) throw FileError(kFileNotFound, "the path holds a NUL");

  // Non-blocking, so that opening a FIFO with no writer returns at once; refused below.
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) throw FileError::FromErrno(errno);
  FileDescriptor file(fd);

  struct stat info {};
  if (::fstat(file.get(), &info) != 0) throw FileError::FromErrno(errno);
  if (!S_ISREG(info.st_mode))
    throw FileError(kPathFileAccessError, NotRegularFileReason(info.st_mode));
  auto too_large = [&] {
    return FileError(kInvalidFileFormat,
                     "it is larger than " + Size(max_bytes) + ", more than such a file ever holds");
  };
  if (static_cast<std::uint64_t>(info.st_size) > max_bytes) throw too_large();

  // The file may grow while it is read: read at most one byte more than allowed to notice.
  std::string bytes(static_cast<std::size_t>(info.st_size) + 1, '\0');
  std::size_t done = 0;
  for (;;) {
    if (done == bytes.size()) {
      if (done > max_bytes) throw too_large();
      bytes.resize(std::min<std::uint64_t>(max_bytes + 1, 2 * bytes.size() + 4096));
    }
    const ssize_t got = ::read(file.get(), bytes.data() + done, bytes.size() - done);
    if (got < 0) {
      if (errno == EINTR) continue;
      throw FileError::FromErrno(errno);
    }
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  if (done > max_bytes) throw too_large();
  bytes.resize(done);
  return bytes;
}

}  // namespace pellix
