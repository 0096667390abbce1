#include "audio/standard_streams.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "files/file_error.h"

namespace pellix {
namespace {

constexpr std::size_t kBlock = 1 << 16;

FileError StreamError(const std::string& what) {
  return FileError::Message(kPathFileAccessError, what + ": " + std::strerror(errno));
}

}  // namespace

std::filesystem::path SaveStandardInput(ScratchFolder& scratch, std::string_view name) {
  std::filesystem::path path = scratch.NewFilePath(name);
  std::ofstream out(path, std::ios::binary);
  if (!out) throw StreamError("cannot save standard input to '" + path.string() + "'");
  std::vector<char> block(kBlock);
  while (true) {
    const std::size_t got = std::fread(block.data(), 1, block.size(), stdin);
    if (got > 0) out.write(block.data(), static_cast<std::streamsize>(got));
    if (!out) throw StreamError("cannot save standard input to '" + path.string() + "'");
    if (got < block.size()) {
      if (std::ferror(stdin)) throw StreamError("cannot read standard input");
      break;
    }
  }
  out.close();
  if (!out) throw StreamError("cannot save standard input to '" + path.string() + "'");
  return path;
}

void CopyToStandardOutput(const std::filesystem::path& path) {
  std::FILE* in = std::fopen(path.c_str(), "rb");
  if (in == nullptr) throw StreamError("cannot read '" + path.string() + "'");
  std::vector<char> block(kBlock);
  std::cout.flush();
  bool failed = false;
  while (!failed) {
    const std::size_t got = std::fread(block.data(), 1, block.size(), in);
    if (got > 0 && std::fwrite(block.data(), 1, got, stdout) != got) failed = true;
    if (got < block.size()) break;
  }
  const bool read_failed = std::ferror(in) != 0;
  std::fclose(in);
  if (std::fflush(stdout) != 0) failed = true;
  if (failed) throw StreamError("cannot write to standard output");
  if (read_failed) throw StreamError("cannot read '" + path.string() + "'");
}

}  // namespace pellix
