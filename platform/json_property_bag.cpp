#include "platform/json_property_bag.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <set>
#include <utility>

#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/text.h"

namespace pellix {

using Json = nlohmann::ordered_json;

// The bag's object. A number that overflows the double range is kept at its key as a binary
// value holding the number as written: JSON text never yields a binary value, so it cannot
// be mistaken for anything the file said.
struct JsonPropertyBag::Store {
  Json object = Json::object();
};

namespace {

constexpr double kLargestExactWhole = 9007199254740992.0;  // 2^53

// No bag nests deeper; a file that does is refused before it can exhaust the stack of the
// recursive serializer when the bag is saved again.
constexpr std::size_t kMaxNesting = 512;

std::string ReadWholeFile(const std::string& path) {
  FileSystem& files = NativeFileSystem();
  std::string bytes;
  std::vector<std::uint8_t> block(64 * 1024);
  for (std::uint64_t offset = 0;;) {
    std::size_t got = files.ReadBlock(path, offset, block);
    bytes.append(block.begin(), block.begin() + static_cast<std::ptrdiff_t>(got));
    if (got < block.size()) return bytes;
    offset += got;
  }
}

bool IsNumberStart(char c) {
  return c == '-' || (c >= '0' && c <= '9');
}
bool IsNumberPart(char c) {
  return IsNumberStart(c) || c == '+' || c == '.' || c == 'e' || c == 'E';
}

// A document with its overflowing numbers replaced by null.
struct Overflows {
  std::string text;
  std::vector<std::pair<std::size_t, std::string>> at_null;  // null ordinal -> number text
};

// nlohmann refuses a whole document for one number beyond the double range. Such numbers are
// replaced by null here, and the ordinals (among all nulls of the document, in order) of
// the replaced ones are returned with their text, so that the parse can mark them again.
// Raises Invalid file format (321) for nesting deeper than kMaxNesting.
Overflows ReplaceOverflowingNumbers(const std::string& json) {
  Overflows result;
  result.text.reserve(json.size());
  std::size_t nulls = 0;
  std::size_t depth = 0;
  for (std::size_t i = 0; i < json.size();) {
    char c = json[i];
    if (c == '"') {  // a string, copied whole
      std::size_t end = i + 1;
      while (end < json.size() && json[end] != '"') end += json[end] == '\\' ? 2 : 1;
      end = std::min(end + 1, json.size());
      result.text.append(json, i, end - i);
      i = end;
    } else if (IsNumberStart(c)) {
      std::size_t end = i;
      while (end < json.size() && IsNumberPart(json[end])) ++end;
      std::string number = json.substr(i, end - i);
      bool overflows = false;
      try {
        Json parsed = Json::parse(number);
        (void)parsed;
      } catch (const Json::out_of_range&) {
        overflows = true;  // 406: number overflow
      } catch (const Json::exception&) {
        // Not a number at all; the parse of the whole document reports it.
      }
      if (overflows) {
        result.at_null.emplace_back(nulls++, std::move(number));
        result.text += "null";
      } else {
        result.text += number;
      }
      i = end;
    } else if (json.compare(i, 4, "null") == 0) {
      ++nulls;
      result.text += "null";
      i += 4;
    } else {
      if (c == '[' || c == '{') {
        if (++depth > kMaxNesting) RaiseError(kInvalidFileFormat);
      } else if ((c == ']' || c == '}') && depth > 0) {
        --depth;
      }
      result.text += c;
      ++i;
    }
  }
  return result;
}

Json ToJson(const Value& v) {
  switch (v.type()) {
    case ValueType::kEmpty:
      return nullptr;
    case ValueType::kInteger:
      return v.integer();
    case ValueType::kLong:
      return v.long_value();
    case ValueType::kDouble: {
      double x = v.double_value();
      if (std::isfinite(x) && x == std::trunc(x) && std::fabs(x) <= kLargestExactWhole) {
        return static_cast<std::int64_t>(x);  // 3, not 3.0; also turns -0 into 0
      }
      return x;
    }
    case ValueType::kString:
      return v.string();
    case ValueType::kBoolean:
      return v.boolean();
  }
  return nullptr;
}

Value FromJson(const Json& j) {
  switch (j.type()) {
    case Json::value_t::null:
      return Value();
    case Json::value_t::string:
      return Value::String(j.get<std::string>());
    case Json::value_t::boolean:
      return Value::Boolean(j.get<bool>());
    case Json::value_t::number_integer:
      return Value::Double(static_cast<double>(j.get<std::int64_t>()));
    case Json::value_t::number_unsigned:
      return Value::Double(static_cast<double>(j.get<std::uint64_t>()));
    case Json::value_t::number_float:
      return Value::Double(j.get<double>());
    case Json::value_t::binary:
      RaiseError(kOverflow);  // a number beyond the double range
    case Json::value_t::array:
    case Json::value_t::object:
    case Json::value_t::discarded:
      break;
  }
  RaiseError(kTypeMismatch);
}

std::string Dump(const Json& j) {
  // Invalid UTF-8 in a text is written as U+FFFD, as it would read back.
  return j.dump(-1, ' ', false, Json::error_handler_t::replace);
}

// Closes a descriptor and removes the temporary file unless the save went through.
class TemporaryFile {
 public:
  TemporaryFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  ~TemporaryFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!path_.empty()) ::unlink(path_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  int fd() const noexcept { return fd_; }
  const std::string& path() const noexcept { return path_; }
  // Closes the descriptor; raises 75 when the data did not reach the file.
  void Close() {
    int fd = std::exchange(fd_, -1);
    if (::close(fd) != 0) RaiseError(kPathFileAccessError);
  }
  void Release() noexcept { path_.clear(); }

 private:
  int fd_;
  std::string path_;
};

TemporaryFile CreateTemporaryBeside(const std::string& directory, const std::string& name) {
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0;; ++attempt) {
    std::string path = directory + "/." + name + ".tmp" + std::to_string(::getpid()) + "-" +
                       std::to_string(counter.fetch_add(1));
    int fd;
    do {
      fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd >= 0) return TemporaryFile(fd, std::move(path));
    if (errno != EEXIST || attempt == 100) RaiseError(FileErrorNumber(errno));
  }
}

void WriteAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    ssize_t wrote = ::write(fd, text.data() + done, text.size() - done);
    if (wrote < 0) {
      if (errno == EINTR) continue;
      RaiseError(kPathFileAccessError);
    }
    done += static_cast<std::size_t>(wrote);
  }
}

}  // namespace

JsonPropertyBag::JsonPropertyBag() : store_(std::make_unique<Store>()) {}
JsonPropertyBag::~JsonPropertyBag() = default;
JsonPropertyBag::JsonPropertyBag(JsonPropertyBag&&) noexcept = default;
JsonPropertyBag& JsonPropertyBag::operator=(JsonPropertyBag&&) noexcept = default;

JsonPropertyBag JsonPropertyBag::Load(const std::string& path) {
  Overflows prepared = ReplaceOverflowingNumbers(SanitizeUtf8(ReadWholeFile(path)));

  // Marks again, at the top level, the nulls that stood for overflowing numbers.
  std::size_t nulls = 0;
  std::size_t next = 0;
  auto mark = [&](int depth, Json::parse_event_t event, Json& parsed) {
    if (event != Json::parse_event_t::value || !parsed.is_null()) return true;
    std::size_t ordinal = nulls++;
    while (next < prepared.at_null.size() && prepared.at_null[next].first < ordinal) ++next;
    if (next < prepared.at_null.size() && prepared.at_null[next].first == ordinal && depth == 1) {
      const std::string& number = prepared.at_null[next].second;
      parsed = Json::binary(std::vector<std::uint8_t>(number.begin(), number.end()));
    }
    return true;
  };

  Json parsed;
  try {
    parsed = Json::parse(prepared.text, mark);
  } catch (const Json::exception&) {
    RaiseError(kInvalidFileFormat);
  }
  if (!parsed.is_object()) RaiseError(kInvalidFileFormat);

  JsonPropertyBag bag;
  bag.store_->object = std::move(parsed);
  return bag;
}

Value JsonPropertyBag::ReadProperty(std::string_view name, const Value& default_value) {
  auto it = store_->object.find(std::string(name));
  return it == store_->object.end() ? default_value : FromJson(*it);
}

void JsonPropertyBag::WriteProperty(std::string_view name, const Value& value,
                                    const Value& /*default_value*/) {
  store_->object[std::string(name)] = ToJson(value);
}

std::vector<std::string> JsonPropertyBag::keys() const {
  std::vector<std::string> names;
  for (const auto& item : store_->object.items()) names.push_back(item.key());
  return names;
}

std::string JsonPropertyBag::Text() const {
  std::string text = "{";
  bool first = true;
  for (const auto& item : store_->object.items()) {
    if (!first) text += ',';
    first = false;
    text += Dump(Json(item.key()));
    text += ':';
    if (item.value().is_binary()) {
      // An overflowing number read from a file goes back as it was written.
      const auto& bytes = item.value().get_binary();
      text.append(bytes.begin(), bytes.end());
    } else {
      text += Dump(item.value());
    }
  }
  text += "}\n";
  return text;
}

void JsonPropertyBag::Save(const std::string& path) const {
  if (path.find('\0') != std::string::npos) RaiseError(kFileNotFound);
  if (path.empty()) RaiseError(kFileNotFound);
  std::size_t slash = path.rfind('/');
  std::string directory = slash == std::string::npos ? "." : path.substr(0, slash);
  if (slash == 0) directory = "/";
  std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
  if (name.empty() || name == "." || name == "..") RaiseError(kPathFileAccessError);

  // Never replace a directory, pipe or device by a regular file.
  struct stat old_file;
  bool replacing = ::stat(path.c_str(), &old_file) == 0;
  if (replacing && !S_ISREG(old_file.st_mode)) RaiseError(kPathFileAccessError);

  std::string text = Text();
  TemporaryFile temporary = CreateTemporaryBeside(directory, name);
  if (replacing) (void)::fchmod(temporary.fd(), old_file.st_mode & 07777);
  WriteAll(temporary.fd(), text);
  if (::fsync(temporary.fd()) != 0) RaiseError(kPathFileAccessError);
  temporary.Close();
  if (::rename(temporary.path().c_str(), path.c_str()) != 0) {
    RaiseError(FileErrorNumber(errno));
  }
  temporary.Release();
}

}  // namespace pellix
