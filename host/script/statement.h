// One script line read as a statement: its keyword and arguments, checked word by word.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/value.h"

namespace pellix::script {

enum class Op { kSet, kGet, kCall, kUserMode, kNew, kUse, kSave, kLoad, kPanel };

// The keyword of `op` as a script writes it ("set", "usermode", ...).
std::string_view Keyword(Op op) noexcept;

struct Statement {
  Op op = Op::kNew;
  // The member name as written (set, get, call), or the path (save, load).
  std::string argument;
  // set: VALUE as late binding receives it (a Double, a String or a Boolean).
  Value value;
  // usermode: the ambient UserMode to take.
  bool user_mode = true;
  // use: the instance number K, a whole number.
  double instance = 0.0;
};

// Reads one line. Returns nothing for a line without words (empty or a comment); throws
// ScriptSyntaxError for a line that is not a statement.
std::optional<Statement> ParseStatement(std::string_view line);

}  // namespace pellix::script
