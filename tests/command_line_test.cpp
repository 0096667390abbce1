// The pellix command line as a user meets it: --version, --help, usage errors (status 2),
// and the script subcommand reading a file or standard input.

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "scratch_directory_test_base.h"
#include "tests/support/program_run.h"

namespace {

class CommandLine : public ScratchDirectoryTest {
 protected:
  using Result = pellix::testing::ProgramRun;

  // Runs pellix with `arguments` (already quoted for the shell) and `input` on stdin.
  Result Pellix(const std::string& arguments, const std::string& input = "") const {
    Write("stdin", input);
    return pellix::testing::RunLine(dir_, "pellix " + arguments + " <stdin");
  }
};

constexpr const char* kGetMode =
    "{\"line\":1,\"op\":\"get\",\"name\":\"Mode\",\"ok\":true,\"value\":\"0\"}\n";

TEST_F(CommandLine, Version) {
  for (const char* flag : {"--version", "-V"}) {
    Result run = Pellix(flag);
    EXPECT_EQ(run.status, 0) << flag;
    EXPECT_EQ(run.out, "pellix 0.1.0\n") << flag;
  }
}

// A line whose first word names a subcommand builds that subcommand alone: each name and alias
// must still reach its own subcommand.
TEST_F(CommandLine, EachNameReachesItsSubcommand) {
  const std::pair<const char*, const char*> cases[] = {
      {"analyze", "analyze"}, {"analyse", "analyze"}, {"listen", "listen"},
      {"demo", "demo"},       {"script", "script"},   {"convert", "convert"},
      {"panel", "panel"},     {"typelib", "typelib"}, {"params", "params"},
  };
  for (const auto& [word, name] : cases) {
    Result run = Pellix(std::string(word) + " --help");
    EXPECT_EQ(run.status, 0) << word;
    EXPECT_NE(run.out.find("Usage: pellix " + std::string(name) + " "), std::string::npos)
        << word << ": " << run.out;
  }
}

TEST_F(CommandLine, HelpNamesTheSubcommandsAndGivesExamples) {
  Result run = Pellix("--help");
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("script"), std::string::npos);
  EXPECT_NE(run.out.find("Examples:"), std::string::npos);
  Result script_help = Pellix("script --help");
  EXPECT_EQ(script_help.status, 0);
  EXPECT_NE(script_help.out.find("usermode true|false"), std::string::npos);
}

// The help footers are put together from tables only when shown: each seam between the tables
// and the fixed text keeps exactly one blank line, and the whole help ends its last line.
TEST_F(CommandLine, HelpFootersJoinTablesAndTextAtTheirSeams) {
  const std::pair<const char*, const char*> cases[] = {
      {"--help", "\n\nResult codes (code in the reports, CR_msgX of the control):\n"},
      {"analyze --help", "-1 when it refuses it.\n\nExit status: 0 when every take"},
      {"listen --help", "-1 when it refuses it.\n\nExit status: 0 when the stream ended"},
      {"params --help", "values that refuse every take.\n\nWarnings go to standard error"},
  };
  for (const auto& [arguments, seam] : cases) {
    Result run = Pellix(arguments);
    EXPECT_EQ(run.status, 0) << arguments;
    EXPECT_NE(run.out.find(seam), std::string::npos) << arguments << ": " << run.out;
  }
  EXPECT_TRUE(Pellix("--help").out.ends_with("-1 when it refuses it.\n"));
  EXPECT_TRUE(Pellix("params --help").out.ends_with("\n  pellix params abc\n"));
}

TEST_F(CommandLine, UsageErrorsExitWith2) {
  for (const char* arguments : {"", "--bogus", "nosuchcommand", "script a b", "script --bogus"}) {
    Result run = Pellix(arguments);
    EXPECT_EQ(run.status, 2) << arguments;
    EXPECT_NE(run.err, "") << arguments;
    EXPECT_EQ(run.out, "") << arguments;
  }
}

TEST_F(CommandLine, ScriptFromAFileOrStandardInput) {
  Write("s.pellix", "get Mode\n");
  EXPECT_EQ(Pellix("script '" + Path("s.pellix") + "'").out, kGetMode);
  Result from_stdin = Pellix("script", "get Mode\n");
  EXPECT_EQ(from_stdin.status, 0);
  EXPECT_EQ(from_stdin.out, kGetMode);
  EXPECT_EQ(Pellix("script -", "get Mode\n").out, kGetMode);
}

TEST_F(CommandLine, UnreadableScriptIsAUsageError) {
  Result missing = Pellix("script '" + Path("missing.pellix") + "'");
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.err.find("missing.pellix"), std::string::npos) << missing.err;
  Result folder = Pellix("script '" + dir_.string() + "'");
  EXPECT_EQ(folder.status, 2);
  EXPECT_EQ(folder.out, "");
}

TEST_F(CommandLine, BadLineStopsWithStatus2AndNamesTheLine) {
  Result run = Pellix("script", "get Mode\nget\nget Mode\n");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, kGetMode);
  EXPECT_NE(run.err.find("<stdin>:2:"), std::string::npos) << run.err;
}

TEST_F(CommandLine, FailingStatementsStillExit0) {
  Result run = Pellix("script", "get Nothing\nset CR_SFLC 1\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
}

}  // namespace
