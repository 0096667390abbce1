#include "analysis/state_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "files/atomic_file.h"
#include "files/file_error.h"
#include "platform/error.h"

namespace pellix::analysis {
namespace {

std::string Quoted(const std::filesystem::path& path) {
  return "'" + path.string() + "'";
}

std::string Numbered(int number) {
  return "error " + std::to_string(number) + ": " + std::string(ErrorDescription(number));
}

// "<cause> (error N: <description>)" for a file error, which knows its cause; the number and
// description alone otherwise.
std::string Numbered(const PlatformError& e) {
  if (const auto* file = dynamic_cast<const FileError*>(&e)) {
    return std::string(file->what()) + ", " + Numbered(e.number());
  }
  return Numbered(e.number());
}

// The folder a new state file goes in must exist and let us write there.
void CheckFolderWritable(const std::filesystem::path& path) {
  std::filesystem::path folder = path.parent_path();
  if (folder.empty()) folder = ".";
  std::error_code ec;
  if (!std::filesystem::is_directory(folder, ec)) {
    throw StateError("cannot create state file " + Quoted(path) + ": the folder " + Quoted(folder) +
                         " does not exist (" + Numbered(kFileNotFound) + ")",
                     kFileNotFound);
  }
  if (::access(folder.c_str(), W_OK | X_OK) != 0) {
    throw StateError("cannot create state file " + Quoted(path) + " in " + Quoted(folder) + ": " +
                         std::strerror(errno) + " (" + Numbered(kPermissionDenied) + ")",
                     kPermissionDenied);
  }
}

// The keys of the control's properties that `bag` lacks; a bag the control saved has all.
std::vector<std::string> MissingKeys(const JsonPropertyBag& bag) {
  static const std::vector<std::string> saved_keys = [] {
    ALG_V1S control;
    control.InitProperties();
    JsonPropertyBag saved;
    control.WriteProperties(saved);
    return saved.keys();
  }();
  const std::vector<std::string> present = bag.keys();
  const std::unordered_set<std::string> has(present.begin(), present.end());
  std::vector<std::string> missing;
  for (const std::string& key : saved_keys) {
    if (!has.contains(key)) missing.push_back(key);
  }
  return missing;
}

}  // namespace

bool StateLock::Open(const std::filesystem::path& path) {
  path_ = path;
  try {
    const std::filesystem::path target = FollowSymlinks(path.string());
    // Something that is no state file (a device, a folder) is refused by the load; no lock
    // file goes beside it.
    struct stat info {};
    if (::stat(target.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) return true;
    lock_path_ = target.parent_path() / ("." + target.filename().string() + ".lock");
  } catch (const FileError& e) {
    throw StateError("cannot lock state file " + Quoted(path) + " (" + Numbered(e) + ")",
                     e.number());
  }
  do {
    fd_ = ::open(lock_path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0666);
  } while (fd_ < 0 && errno == EINTR);
  if (fd_ < 0) {
    // Where no lock file can be made, no state can be saved either, and the load or the save
    // says why in the terms of the state file.
    if (errno == ENOENT || errno == ENOTDIR || errno == EACCES || errno == EROFS) return true;
    Fail(errno);
  }
  if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) return true;
  if (errno != EWOULDBLOCK) Fail(errno);
  return false;
}

void StateLock::Fail(int errno_value) const {
  if (fd_ >= 0) ::close(fd_);
  const FileError error = FileError::FromErrno(errno_value);
  throw StateError("cannot lock state file " + Quoted(path_) + " with " + Quoted(lock_path_) +
                       " (" + Numbered(error) + ")",
                   error.number());
}

StateLock::StateLock(const std::filesystem::path& path, const std::function<void()>& waiting) {
  if (Open(path)) return;
  if (waiting) waiting();
  int result;
  do {
    result = ::flock(fd_, LOCK_EX);
  } while (result != 0 && errno == EINTR);
  if (result != 0) Fail(errno);
}

StateLock::StateLock(const std::filesystem::path& path, double seconds) {
  // Longer is for ever, as far as anyone waiting can tell; the clock's count holds it.
  constexpr double kLongestWait = 1e9;
  if (Open(path)) return;
  using Clock = std::chrono::steady_clock;
  const Clock::time_point until =
      Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(
                         seconds > 0 ? std::min(seconds, kLongestWait) : 0.0));
  constexpr std::chrono::milliseconds kPoll{10};
  for (;;) {
    const Clock::duration left = until - Clock::now();
    if (left <= Clock::duration::zero()) break;
    const auto nap = std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::min<Clock::duration>(left, kPoll));
    const timespec time{static_cast<time_t>(nap.count() / 1000000000),
                        static_cast<long>(nap.count() % 1000000000)};
    if (::nanosleep(&time, nullptr) != 0) break;  // a signal: the host decides
    if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) return;
    if (errno != EWOULDBLOCK) Fail(errno);
  }
  ::close(fd_);
  fd_ = -1;
  busy_ = true;
}

StateLock::~StateLock() {
  if (fd_ >= 0) ::close(fd_);  // releases the lock
}

bool IsStateFile(const std::filesystem::path& path) {
  try {
    return MissingKeys(JsonPropertyBag::Load(path.string())).empty();
  } catch (const PlatformError&) {
    return false;
  }
}

bool LoadState(ALG_V1S& control, const std::filesystem::path& path, JsonPropertyBag* loaded) {
  std::error_code ec;
  const std::filesystem::file_status status = std::filesystem::status(path, ec);
  if (status.type() == std::filesystem::file_type::not_found) {
    CheckFolderWritable(path);
    control.InitProperties();
    return false;
  }

  JsonPropertyBag bag;
  try {
    bag = JsonPropertyBag::Load(path.string());
  } catch (const FileError& e) {
    throw StateError("cannot read state file " + Quoted(path) + " (" + Numbered(e) + ")",
                     e.number());
  } catch (const PlatformError& e) {
    if (e.number() == kInvalidFileFormat) {
      throw StateError("state file " + Quoted(path) +
                           " is not a JSON object of saved properties (" + Numbered(e) +
                           "); it was left as it is",
                       e.number());
    }
    throw StateError("cannot read state file " + Quoted(path) + " (" + Numbered(e) + ")",
                     e.number());
  }

  // Any other JSON object is someone else's file: saving over it would destroy it.
  const std::vector<std::string> missing = MissingKeys(bag);
  if (!missing.empty()) {
    throw StateError(
        "state file " + Quoted(path) + " is not a property bag saved by pellix: it lacks \"" +
            missing.front() + "\"" +
            (missing.size() > 1 ? " and " + std::to_string(missing.size() - 1) + " more"
                                : std::string()) +
            " of the control's properties (" + Numbered(kInvalidFileFormat) +
            "); it was left as it is",
        kInvalidFileFormat);
  }

  KeyTrackingBag tracking(bag);
  try {
    control.ReadProperties(tracking);
  } catch (const PlatformError& e) {
    throw StateError("state file " + Quoted(path) + ": the value of \"" + tracking.last_key() +
                         "\" cannot be used (" + Numbered(e) + "); the file was left as it is",
                     e.number());
  }
  if (loaded != nullptr) *loaded = std::move(bag);
  return true;
}

std::string StateText(const std::filesystem::path& path) {
  try {
    return JsonPropertyBag::Load(path.string()).Text();
  } catch (const PlatformError&) {
    return {};
  }
}

void SaveState(ALG_V1S& control, const std::filesystem::path& path, StateSync* since) {
  // Written over the bag as it is on disk, so that keys of its own (another program's notes,
  // a later version's properties) stay.
  JsonPropertyBag bag;
  try {
    bag = JsonPropertyBag::Load(path.string());
  } catch (const PlatformError&) {
    bag = JsonPropertyBag();  // none yet, or gone bad since it was read: start afresh
  }
  KeyTrackingBag tracking(bag);
  try {
    if (since != nullptr) {
      MergeState(control, *since, bag);
    } else {
      control.WriteProperties(tracking);
    }
  } catch (const PlatformError& e) {
    throw StateError("cannot save state to " + Quoted(path) + ": the value of \"" +
                         tracking.last_key() + "\" cannot be saved (" + Numbered(e) + ")",
                     e.number());
  }
  try {
    bag.Save(path.string());
  } catch (const PlatformError& e) {
    throw StateError("cannot save state to " + Quoted(path) + " (" + Numbered(e) +
                         "); any earlier state there was left as it is",
                     e.number());
  }
}

}  // namespace pellix::analysis
