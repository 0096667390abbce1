#include "host/commands/line_options.h"

#include <algorithm>
#include <cstddef>

namespace pellix {

LineOptions::LineOptions(int argc, const char* const* argv) : every_(false) {
  for (int i = 2; i < argc; ++i) {
    const std::string_view word = argv[i];
    if (!word.starts_with('-')) continue;
    if (!word.starts_with("--") || word == "--") {
      every_ = true;
      named_.clear();
      break;
    }
    named_.push_back(word.substr(0, word.find('=')));
  }
  built_.assign(named_.size(), false);
}

bool LineOptions::Wants(std::string_view names) {
  bool wanted = every_;
  while (!names.empty()) {
    const std::size_t comma = std::min(names.find(','), names.size());
    const std::string_view name = names.substr(0, comma);
    for (std::size_t i = 0; i < named_.size(); ++i) {
      if (named_[i] == name) {
        built_[i] = true;
        wanted = true;
      }
    }
    names.remove_prefix(std::min(comma + 1, names.size()));
  }
  return wanted;
}

bool LineOptions::AllBuilt() const {
  return std::all_of(built_.begin(), built_.end(), [](bool built) { return built; });
}

}  // namespace pellix
