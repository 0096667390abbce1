// The one way the tests run the pellix program: a shell command line, as a user would type it,
// run in the test's folder, with what it returned and wrote kept. The word "pellix" in the line
// stands for the program under test (PELLIX_BINARY, which the build defines for every test
// that includes this header).
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace pellix::testing {

// What a command line returned and wrote.
struct ProgramRun {
  int status = -1;  // its exit status; -1 when it did not exit by itself
  std::string out;  // standard output, unless the line sent it elsewhere
  std::string err;  // standard error, likewise
};

// `line` with the quoted path of the program, after `before`, in place of each word "pellix"
// that starts a command: at the start of the line, or after a blank, "|", ";", "&", "(" or "{".
inline std::string WithProgram(const std::string& line, const std::string& before = "") {
  const std::string word = "pellix ";
  const std::string program = before + "'" + PELLIX_BINARY + "' ";
  std::string result;
  std::size_t from = 0;
  for (std::size_t at = line.find(word); at != std::string::npos; at = line.find(word, at + 1)) {
    if (at > 0 && std::string(" \t|;&({").find(line[at - 1]) == std::string::npos) continue;
    result += line.substr(from, at - from) + program;
    from = at + word.size();
  }
  return result + line.substr(from);
}

// The shell line that runs `line` in `folder`: standard input from /dev/null, output and errors
// into the folder's files "stdout" and "stderr", unless the line redirects them itself. The
// line runs in a brace group, in the shell itself, so that `exec` there replaces the shell.
inline std::string InFolder(const std::filesystem::path& folder, const std::string& line,
                            const std::string& before_program = "") {
  return "cd '" + folder.string() + "' && { " + WithProgram(line, before_program) +
         "\n} </dev/null >stdout 2>stderr";
}

inline std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Runs the shell command line `line` in `folder`, "pellix" standing for the program, and waits
// for it to end.
inline ProgramRun RunLine(const std::filesystem::path& folder, const std::string& line) {
  const int raw = ::system(InFolder(folder, line).c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadAll(folder / "stdout"),
          ReadAll(folder / "stderr")};
}

// Starts `line` as RunLine runs it, but with the shell replaced by the program (after any
// variables the line sets for it), so that a signal sent to the process returned reaches
// pellix itself; -1 when no process could be started. The caller waits for it.
inline pid_t StartLine(const std::filesystem::path& folder, const std::string& line) {
  const std::string command = InFolder(folder, line, "exec ");
  const pid_t child = ::fork();
  if (child == 0) {
    ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  return child;
}

// A command line that must fail: its exit status and words its errors must hold.
struct ExpectedFailure {
  std::string line;
  int status;
  std::string message;
};

// Runs each line, after `before` ("pellix " for a table of arguments), in `folder` and checks
// its status and message.
inline void ExpectFailures(const std::filesystem::path& folder,
                           const std::vector<ExpectedFailure>& failures,
                           const std::string& before = "") {
  for (const ExpectedFailure& failure : failures) {
    const ProgramRun run = RunLine(folder, before + failure.line);
    EXPECT_EQ(run.status, failure.status) << failure.line << '\n' << run.err;
    EXPECT_NE(run.err.find(failure.message), std::string::npos) << failure.line << '\n' << run.err;
  }
}

// The same for lines that must all end with `status`: each with the words its errors must hold.
inline void ExpectFailures(const std::filesystem::path& folder, int status,
                           const std::vector<std::pair<std::string, std::string>>& failures) {
  std::vector<ExpectedFailure> expected;
  for (const auto& [line, message] : failures) expected.push_back({line, status, message});
  ExpectFailures(folder, expected);
}

}  // namespace pellix::testing
