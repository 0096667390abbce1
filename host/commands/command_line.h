// The `pellix` command line: subcommands, --help and --version.
#pragma once

namespace pellix {

// Exit status of a command line that cannot be parsed (and of other usage errors).
inline constexpr int kUsageError = 2;

// Parses the command line and runs the chosen subcommand; returns the exit status.
int RunCommandLine(int argc, const char* const* argv);

}  // namespace pellix
