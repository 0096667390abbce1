// Replacing a file's contents so that it holds either the old contents or the whole new ones,
// whatever fails and whenever the process dies. Every file the host writes goes through here.
//
//   WriteFileAtomically("alex.json", text);
//
// The bytes go into a new temporary file in the target's folder, which is flushed to disk
// (fsync) and renamed over the target. Only a regular file, or a path where nothing is yet,
// is replaced: a directory, pipe, device or socket is refused and left as it is. A symbolic
// link is followed and its target written (the link stays a link). A replaced file keeps its
// permissions. The temporary file never outlives a failed write, nor SIGINT, SIGTERM or
// SIGPIPE while it is written.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace pellix {

// Raises FileError (what() gives the cause): File not found (53) when the folder does not
// exist or the path is empty, Permission denied (70) when writing there is not permitted,
// Path/File access error (75) otherwise (not a regular file, disk full, a failed flush).
void WriteFileAtomically(const std::string& path, std::string_view bytes);

// WriteFileAtomically for contents made piece by piece (a report streamed as it is produced):
// the pieces go into the temporary file as they come, and only Commit puts them in place. A
// writer destroyed without Commit removes its temporary file and leaves the target as it was.
// Checkpoint puts what was written so far in place and carries on, so that a run stopped
// later still leaves the pieces up to its last checkpoint. Errors as for WriteFileAtomically.
class AtomicFileWriter {
 public:
  // Refuses at once what WriteFileAtomically would refuse (a directory at `path`, a missing
  // folder), before anything is written.
  explicit AtomicFileWriter(const std::string& path);
  ~AtomicFileWriter();
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  void Write(std::string_view bytes);
  // The target holds everything written so far; costs a copy of it.
  void Checkpoint();
  // The target holds everything written; the writer is then done.
  void Commit();

 private:
  struct Target;
  std::unique_ptr<Target> target_;
};

// The file a path finally names once every symbolic link on its last component is followed;
// `path` itself when it is no link. A dangling link gives the path its target would have.
// Raises FileError for a loop of links.
std::string FollowSymlinks(const std::string& path);

// The steps of WriteFileAtomically, for tests that make one of them fail.
enum class AtomicWriteStep { kCreate, kWrite, kSync, kClose, kRename };

// While alive, makes `step` of WriteFileAtomically on this thread fail with `errno_value`.
class ScopedAtomicWriteFault {
 public:
  ScopedAtomicWriteFault(AtomicWriteStep step, int errno_value);
  ~ScopedAtomicWriteFault();
  ScopedAtomicWriteFault(const ScopedAtomicWriteFault&) = delete;
  ScopedAtomicWriteFault& operator=(const ScopedAtomicWriteFault&) = delete;

  // The errno the innermost fault on this thread gives `step`, or 0.
  static int ErrnoFor(AtomicWriteStep step) noexcept;

 private:
  AtomicWriteStep step_;
  int errno_value_;
  const ScopedAtomicWriteFault* previous_;
};

}  // namespace pellix
