// A private temporary folder for converted sample files, removed with everything in it when
// the object goes.
#pragma once

#include <filesystem>
#include <string_view>

#include "files/signal_cleanup.h"

namespace pellix {

// Creates a fresh folder only its owner may enter (mode 0700) under $TMPDIR, or /tmp when that
// is unset, and removes it, whatever it then holds, on destruction, and also when SIGINT,
// SIGTERM or SIGPIPE ends the process (CleanupOnSignal). Movable, not copyable.
class ScratchFolder {
 public:
  // Fails with FileError (70 or 75, the message naming the parent folder) when the folder
  // cannot be created.
  ScratchFolder();
  ScratchFolder(ScratchFolder&& other) noexcept;
  ScratchFolder& operator=(ScratchFolder&& other) noexcept;
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  ~ScratchFolder();

  const std::filesystem::path& path() const noexcept { return path_; }

  // A path in the folder for a new file whose name ends in `name`. Each call gives a different
  // path ("1-yes.smp", "2-yes.smp", ...), so files of the same name from different folders do
  // not overwrite each other. Nothing is created.
  std::filesystem::path NewFilePath(std::string_view name);

  // Removes the folder now. Safe to call more than once; never throws.
  void Remove() noexcept;

 private:
  std::filesystem::path path_;
  CleanupOnSignal cleanup_;
  unsigned files_ = 0;
};

}  // namespace pellix
