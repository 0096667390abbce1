#include "analysis/take_path.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <string_view>

#include "analysis/manifest.h"
#include "files/file_error.h"
#include "platform/error.h"

namespace pellix::analysis {
namespace {

constexpr std::string_view kFileScheme = "file://";

std::optional<int> HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (lower >= 'a' && lower <= 'f') return lower - 'a' + 10;
  return std::nullopt;
}

// `text` with each %XX replaced by its byte; a % without two hex digits stays as it is.
std::string PercentDecoded(std::string_view text) {
  std::string decoded;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      const std::optional<int> high = HexDigit(text[i + 1]);
      const std::optional<int> low = HexDigit(text[i + 2]);
      if (high && low) {
        decoded += static_cast<char>(*high * 16 + *low);
        i += 2;
        continue;
      }
    }
    decoded += text[i];
  }
  return decoded;
}

bool SameNoCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

}  // namespace

std::filesystem::path LocalTakePath(const std::string& take, const char* what) {
  auto refuse = [&](int number, const std::string& why) {
    // A NUL shows as \0: the message itself is handed on as text that a NUL would cut short.
    std::string shown;
    for (const char c : take) shown += c == '\0' ? std::string("\\0") : std::string(1, c);
    throw FileError::Message(number,
                             std::string("cannot open ") + what + " '" + shown + "': " + why);
  };
  if (take.find('\0') != std::string::npos) {
    refuse(kInvalidProcedureCall, "the name holds a NUL character");
  }
  if (!IsUrl(take)) return take;
  if (!SameNoCase(std::string_view(take).substr(0, kFileScheme.size()), kFileScheme)) {
    refuse(kPathFileAccessError,
           "pellix reads file:// URLs; other schemes are read through the Python package "
           "(python3 -m pellix.batch, pellix.analyze), with fsspec");
  }
  const std::string_view rest = std::string_view(take).substr(kFileScheme.size());
  const std::size_t host_end = std::min(rest.find_first_of("/?#"), rest.size());
  const std::string_view host = rest.substr(0, host_end);
  if (!host.empty() && !SameNoCase(host, "localhost")) {
    refuse(kPathFileAccessError, "it names the host '" + std::string(host) +
                                     "': file:// URLs are read on this machine only");
  }
  const std::size_t path_end = std::min(rest.find_first_of("?#", host_end), rest.size());
  const std::string_view path = rest.substr(host_end, path_end - host_end);
  if (path.empty()) refuse(kPathFileAccessError, "it names no file");
  std::string decoded = PercentDecoded(path);
  if (decoded.find('\0') != std::string::npos) {
    refuse(kInvalidProcedureCall, "the path it decodes to holds a NUL character (%00)");
  }
  return decoded;
}

}  // namespace pellix::analysis
