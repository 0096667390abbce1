// The long options a command line names after its subcommand, so that the subcommand builds
// those alone: CLI11 checks each new option against every earlier one, which cost analyze a
// sixth of a check of one take. What a line does, says or fails with must not depend on which
// options were built, so a line that names anything else (help, a short option, "--", an option
// the subcommand does not have) is parsed anew with every option built.
#pragma once

#include <string_view>
#include <vector>

namespace pellix {

class LineOptions {
 public:
  // Every option.
  LineOptions() = default;
  // The options of the words after the subcommand (argv[2] on), "--name" or "--name=value";
  // every option when a word starts with a single '-' or is "--".
  LineOptions(int argc, const char* const* argv);

  // Whether to build the option CLI11 names `names` ("-o,--output"); the line's words that
  // name it count as built.
  bool Wants(std::string_view names);
  // Whether the options built include every option the line names.
  bool AllBuilt() const;

 private:
  bool every_ = true;
  std::vector<std::string_view> named_;
  std::vector<bool> built_;
};

}  // namespace pellix
