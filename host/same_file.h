// Refusing an output that is also an input: writing a picture over the state it was drawn
// from, or a report over a take or the manifest, would destroy what the run was about.
#pragma once

#include <sys/types.h>
#include <filesystem>
#include <optional>

namespace pellix {

// Whether `a` and `b` name the same file: the same file on disk when both exist (links
// followed), otherwise the same path once made absolute and normal (links followed as far as
// they exist). Never throws.
bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b) noexcept;

// SameFile against one output for many inputs (a manifest's hundred thousand takes): the
// output is looked up once, and each input costs one look-up.
class SameFileAs {
 public:
  explicit SameFileAs(const std::filesystem::path& output) noexcept;
  bool operator()(const std::filesystem::path& input) const noexcept;

 private:
  struct Identity {
    dev_t device;
    ino_t inode;
  };
  static std::optional<Identity> IdentityOf(const std::filesystem::path& path) noexcept;

  std::optional<Identity> identity_;                  // when the output exists
  std::optional<std::filesystem::path> full_output_;  // when it does not: absolute and normal
};

}  // namespace pellix
