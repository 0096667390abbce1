// Fuzzes the script host: arbitrary scripts, line by line, as `pellix script` runs them.
//
// A line that is not a statement is skipped rather than ending the run, so that one input
// reaches many statements. Sample files come from memory ("a.smp", a speech-like take, and
// "b.smp", a short one); `save` and `load` are pointed at one bag file in a private folder, so
// that no input can write anywhere else. Besides the sanitizers, it checks that the only
// exceptions out of a line are the documented syntax errors (a failing statement reports its
// error on its output line instead).
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "host/script/lexer.h"
#include "host/script/script_runner.h"
#include "host/script/statement.h"
#include "platform/text.h"
#include "tests/support/memory_file_system.h"

namespace {

using pellix::fuzzing::Fail;

constexpr const char* kTarget = "pellix_fuzz_script";

const std::string& BagPath() {
  static const std::string path = [] {
    std::string folder = (std::filesystem::temp_directory_path() / "pellix_fuzz_script_XXXXXX");
    if (mkdtemp(folder.data()) == nullptr) Fail(kTarget, "mkdtemp");
    return folder + "/bag.json";
  }();
  return path;
}

// The line as the runner is to see it: save and load keep to the one bag file.
std::string Confined(const std::string& line) {
  try {
    std::optional<pellix::script::Statement> statement = pellix::script::ParseStatement(line);
    if (statement && statement->op == pellix::script::Op::kSave)
      return "save \"" + BagPath() + "\"";
    if (statement && statement->op == pellix::script::Op::kLoad)
      return "load \"" + BagPath() + "\"";
  } catch (const pellix::script::ScriptSyntaxError&) {
  }
  return line;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static pellix::MemoryFileSystem& files =
      pellix::fuzzing::FilesHolding({{"a.smp", pellix::fuzzing::SawtoothTake(9000)},
                                     {"b.smp", pellix::fuzzing::SawtoothTake(500)}});
  std::filesystem::remove(BagPath());

  std::ostringstream out;
  pellix::script::ScriptRunner runner(out, files);
  const std::string_view script(reinterpret_cast<const char*>(data), size);
  std::int64_t number = 0;
  for (std::size_t start = 0; start <= script.size();) {
    std::size_t end = script.find('\n', start);
    if (end == std::string_view::npos) end = script.size();
    const std::string line = Confined(pellix::SanitizeUtf8(script.substr(start, end - start)));
    try {
      runner.RunLine(line, ++number);
    } catch (const pellix::script::ScriptSyntaxError&) {
    }
    start = end + 1;
  }
  if (runner.instance_count() == 0) Fail(kTarget, "no instance left");
  return 0;
}
