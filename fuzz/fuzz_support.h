// What the fuzz targets share: the one rule for what may come out of a control call, and the
// sample files the targets read.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <utility>
#include <vector>

#include "platform/error.h"
#include "tests/support/memory_file_system.h"

namespace pellix::fuzzing {

[[noreturn]] inline void Fail(const char* target, const char* what) {
  std::fprintf(stderr, "%s: %s\n", target, what);
  std::abort();
}

// Runs `call`; a platform error must be one of `allowed`, anything else thrown escapes and
// ends the run as a finding. Returns the error number, 0 when the call returned normally.
int ExpectErrors(const char* target, std::initializer_list<int> allowed, auto&& call) {
  try {
    call();
  } catch (const PlatformError& e) {
    for (int number : allowed) {
      if (e.number() == number) return number;
    }
    std::fprintf(stderr, "%s: error %d\n", target, e.number());
    Fail(target, "an error the call does not document");
  }
  return 0;
}

// A sample file: the 49 bytes the intake skips, then `samples` samples of a sawtooth around 128
// that doubles its loudness every other 1500 samples.
inline std::vector<std::uint8_t> SawtoothTake(int samples) {
  std::vector<std::uint8_t> bytes(49, 0);
  for (int i = 0; i < samples; ++i) {
    bytes.push_back(static_cast<std::uint8_t>(128 + ((i * 37) % 61 - 30) * ((i / 1500) % 2 + 1)));
  }
  return bytes;
}

// A file layer holding `files` (name and bytes), made once per call site and kept for the whole
// process: `static MemoryFileSystem& files = FilesHolding(...)`, handed to what reads them.
inline MemoryFileSystem& FilesHolding(
    std::initializer_list<std::pair<const char*, std::vector<std::uint8_t>>> files) {
  auto* held = new MemoryFileSystem;
  for (const auto& [name, bytes] : files) held->Add(name, bytes);
  return *held;
}

}  // namespace pellix::fuzzing
