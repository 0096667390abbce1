#include "host/script/script_runner.h"

#include <array>
#include <string>

#include "control/alg_v1s.h"
#include "control/late_binding.h"
#include "control/panel.h"
#include "engine/tarvo_alg1.h"
#include "files/json_property_bag.h"
#include "host/same_file.h"
#include "host/script/lexer.h"
#include "platform/container_site.h"
#include "platform/error.h"
#include "platform/text.h"

namespace pellix::script {

// The container as one instance sees it.
class ScriptRunner::Site final : public ContainerSite {
 public:
  explicit Site(ScriptRunner& runner) : runner_(runner) {}

  bool UserMode() const override { return runner_.user_mode_; }
  void PropertyChanged(std::string_view name) override {
    runner_.output_.Notify(runner_.line_, name);
  }

 private:
  ScriptRunner& runner_;
};

// The site is declared first: the control keeps a pointer to it for its whole life.
struct ScriptRunner::Instance {
  explicit Instance(ScriptRunner& runner)
      : site(runner), control(&site, runner.files_, runner.engine_) {}
  Site site;
  ALG_V1S control;
};

ScriptRunner::ScriptRunner(std::ostream& out, FileSystem& files)
    : output_(out), files_(files), engine_(std::make_shared<Tarvo_alg1::SharedState>()) {
  AddInstance().control.InitProperties();
}

ScriptRunner::~ScriptRunner() = default;

ScriptRunner::Instance& ScriptRunner::AddInstance() {
  instances_.push_back(std::make_unique<Instance>(*this));
  current_ = instances_.size() - 1;
  return *instances_.back();
}

ALG_V1S& ScriptRunner::current() {
  return instances_[current_]->control;
}

namespace {

enum class LineRead { kLine, kEnd, kTooLong };

// Reads one line (without its line feed) of at most kMaxLineLength bytes, in blocks, so that
// an endless line (standard input from /dev/zero) ends in an error rather than in exhausted
// memory. A read error leaves `in` bad and reads as the end.
LineRead ReadLine(std::istream& in, std::string& line) {
  line.clear();
  std::array<char, 64 * 1024> block;
  for (;;) {
    in.getline(block.data(), static_cast<std::streamsize>(block.size()));
    const auto got = static_cast<std::size_t>(in.gcount());
    if (in.bad()) return LineRead::kEnd;
    if (in.fail() && !in.eof() && got + 1 == block.size()) {  // the block is full
      line.append(block.data(), got);
      if (line.size() > kMaxLineLength) return LineRead::kTooLong;
      in.clear(in.rdstate() & ~std::ios::failbit);
      continue;
    }
    if (in.fail() && got == 0 && line.empty()) return LineRead::kEnd;
    // The line feed, when there was one, is counted but not stored.
    line.append(block.data(), in.eof() ? got : got - 1);
    return line.size() > kMaxLineLength ? LineRead::kTooLong : LineRead::kLine;
  }
}

}  // namespace

int ScriptRunner::Run(std::istream& in, std::ostream& err, std::string_view source) {
  std::string line;
  std::int64_t line_number = 0;
  for (;;) {
    const LineRead read = ReadLine(in, line);
    if (read == LineRead::kEnd) break;
    ++line_number;
    if (read == LineRead::kTooLong) {
      err << "pellix: " << source << ":" << line_number << ": the line is longer than "
          << (kMaxLineLength >> 20) << " MiB\n";
      return kScriptUsageError;
    }
    // A byte-order mark, as editors may put at the start of a UTF-8 file.
    if (line_number == 1 && line.starts_with("\xEF\xBB\xBF")) line.erase(0, 3);
    try {
      RunLine(SanitizeUtf8(line), line_number);
    } catch (const ScriptSyntaxError& e) {
      err << "pellix: " << source << ":" << line_number << ": not a statement: " << e.what()
          << '\n';
      return kScriptUsageError;
    }
  }
  if (in.bad()) {
    err << "pellix: " << source << ": cannot read the script after line " << line_number << '\n';
    return kScriptUsageError;
  }
  return kScriptOk;
}

void ScriptRunner::RunLine(std::string_view line, std::int64_t line_number) {
  std::optional<Statement> statement = ParseStatement(line);
  if (!statement) return;

  line_ = line_number;
  Json result;
  result["line"] = line_number;
  result["op"] = std::string(Keyword(statement->op));
  switch (statement->op) {
    case Op::kSet:
    case Op::kGet:
    case Op::kCall:
    case Op::kSave:
    case Op::kLoad:
      result["name"] = statement->argument;
      break;
    case Op::kUserMode:
      result["name"] = statement->user_mode;
      break;
    case Op::kUse:
      result["name"] = JsonNumber(statement->instance);
      break;
    case Op::kNew:
    case Op::kPanel:
      break;
  }
  try {
    // Notifications the statement causes are printed while it runs, so they stand before
    // its own line, even when it fails afterwards.
    Json extra = Execute(*statement);
    result["ok"] = true;
    for (auto& [key, value] : extra.items()) result[key] = std::move(value);
  } catch (const PlatformError& e) {
    result["ok"] = false;
    result["error"] = JsonError(e);
  }
  output_.Write(result);
}

Json ScriptRunner::Execute(const Statement& statement) {
  Json extra = Json::object();
  switch (statement.op) {
    case Op::kSet: {
      std::int32_t dispid = GetIDOfName(statement.argument);
      Invoke(current(), dispid, InvokeKind::kPropertyPut, statement.value);
      return extra;
    }
    case Op::kGet: {
      std::int32_t dispid = GetIDOfName(statement.argument);
      Value value = Invoke(current(), dispid, InvokeKind::kPropertyGet);
      extra["value"] = JsonValue(value);
      return extra;
    }
    case Op::kCall: {
      std::int32_t dispid = GetIDOfName(statement.argument);
      Invoke(current(), dispid, InvokeKind::kMethod);
      return extra;
    }
    case Op::kUserMode:
      user_mode_ = statement.user_mode;
      return extra;
    case Op::kNew:
      if (instances_.size() >= kMaxInstances) RaiseError(kOutOfMemory);
      AddInstance().control.InitProperties();
      return extra;
    case Op::kUse:
      if (statement.instance < 0 || statement.instance >= static_cast<double>(instances_.size())) {
        RaiseError(kSubscriptOutOfRange);
      }
      current_ = static_cast<std::size_t>(statement.instance);
      return extra;
    case Op::kSave: {
      if (script_file_ && SameFile(statement.argument, *script_file_)) {
        RaiseError(kPathFileAccessError);
      }
      JsonPropertyBag bag;
      current().WriteProperties(bag);
      bag.Save(statement.argument);
      return extra;
    }
    case Op::kLoad: {
      // A bag that cannot be read creates nothing. Once it is read, the new instance stays
      // and stays current even when ReadProperties stops at a key, holding what it loaded.
      JsonPropertyBag bag = JsonPropertyBag::Load(statement.argument);
      if (instances_.size() >= kMaxInstances) RaiseError(kOutOfMemory);
      AddInstance().control.ReadProperties(bag);
      return extra;
    }
    case Op::kPanel: {
      Json cells = Json::object();
      Panel& panel = current().panel();
      for (const PanelEntry& entry : PanelLayout()) {
        if (entry.value_cell) cells[std::string(entry.name)] = entry.label(panel).caption();
      }
      extra["cells"] = std::move(cells);
      return extra;
    }
  }
  return extra;
}

}  // namespace pellix::script
