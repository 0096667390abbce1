// Refusing an output that is also an input: writing a picture over the state it was drawn
// from, or over a take, would destroy what the run was about.
#pragma once

#include <filesystem>

namespace pellix {

// Whether `a` and `b` name the same file: the same file on disk when both exist (links
// followed), otherwise the same path once made absolute and normal (links followed as far as
// they exist). Never throws.
bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b) noexcept;

}  // namespace pellix
