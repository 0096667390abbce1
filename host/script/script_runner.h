// The script host: runs script statements against control instances and reports each as a
// JSON line.
#pragma once

#include <cstdint>
#include <filesystem>
#include <istream>
#include <memory>
#include <optional>
#include <ostream>
#include <string_view>
#include <utility>
#include <vector>

#include "files/file_system.h"
#include "host/script/json_lines.h"
#include "host/script/statement.h"

namespace Tarvo_alg1 {
struct SharedState;
}

namespace pellix {
class ALG_V1S;
}

namespace pellix::script {

// Exit statuses of a script run.
inline constexpr int kScriptOk = 0;
inline constexpr int kScriptUsageError = 2;

// The longest script line, in bytes: far beyond any text a property holds.
inline constexpr std::size_t kMaxLineLength = 64u << 20;

// The most instances a script may hold at once (instance 0 included): each takes some tens of
// kilobytes, so a runaway script stops at a few tens of megabytes. One more `new` or `load`
// fails with Out of memory (7) and creates nothing.
inline constexpr std::size_t kMaxInstances = 1000;

// Holds the instances of one script run; instance 0 exists from the start, created with
// InitProperties, in run mode. Every instance has its own container site, which prints
// PropertyChanged notifications as they happen and answers UserMode from the one ambient
// setting that `usermode` changes. All instances share one engine state.
class ScriptRunner {
 public:
  // The instances read the sample files DATAstr names through `files`.
  explicit ScriptRunner(std::ostream& out, FileSystem& files = NativeFileSystem());
  ~ScriptRunner();
  ScriptRunner(const ScriptRunner&) = delete;
  ScriptRunner& operator=(const ScriptRunner&) = delete;

  // Runs every line of `in`: each line is decoded as UTF-8 (invalid bytes read as U+FFFD)
  // and run; a byte-order mark at the start is skipped. Returns kScriptOk, or
  // kScriptUsageError after a line that is not a statement (the lines after it do not run),
  // a line longer than kMaxLineLength, or when `in` cannot be read; then a message naming
  // `source` and the line goes to `err`.
  int Run(std::istream& in, std::ostream& err, std::string_view source);

  // Runs one line, numbered `line_number` (1-based) in the output. Throws ScriptSyntaxError
  // when the line is not a statement; a failing statement prints its error line instead.
  void RunLine(std::string_view line, std::int64_t line_number);

  std::size_t instance_count() const noexcept { return instances_.size(); }

  // The file the script is read from: a `save` onto it fails with Path/File access error
  // (75), for it would replace the script with a property bag.
  void set_script_file(std::filesystem::path file) { script_file_ = std::move(file); }

 private:
  class Site;
  struct Instance;

  // Runs the statement; returns the keys its line adds after "ok" (a get's value, a
  // panel's cells). Raises the statement's platform error.
  Json Execute(const Statement& statement);
  Instance& AddInstance();
  ALG_V1S& current();

  JsonLines output_;
  bool user_mode_ = true;
  std::int64_t line_ = 0;  // the line being run, for the notifications it causes
  // The engine state every instance shares, as all instances on a thread share the module's.
  FileSystem& files_;
  std::shared_ptr<Tarvo_alg1::SharedState> engine_;
  std::vector<std::unique_ptr<Instance>> instances_;
  std::size_t current_ = 0;
  std::optional<std::filesystem::path> script_file_;
};

}  // namespace pellix::script
