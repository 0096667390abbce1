// The file layer: what a path can name and which error each kind of failure gives, the
// in-memory stand-in, and the per-thread replacement.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "files/file_system.h"
#include "platform/error.h"
#include "tests/support/memory_file_system.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// The error number a read raises, or 0.
int ReadError(pellix::FileSystem& files, const std::string& path) {
  std::array<std::uint8_t, 16> block{};
  try {
    files.ReadBlock(path, 0, block);
  } catch (const pellix::PlatformError& e) {
    return e.number();
  }
  return 0;
}

// A fresh folder under the system's temporary folder, removed with everything in it.
class NativeFileSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::temp_directory_path() /
           ("pellix_fs_" + std::to_string(::getpid()) + "_" + test->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::permissions(dir_ / "locked", fs::perms::owner_all, ignored);
    fs::remove_all(dir_, ignored);
  }

  std::string Write(const std::string& name, const Bytes& bytes) {
    const fs::path path = dir_ / name;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return path.string();
  }

  fs::path dir_;
  pellix::FileSystem& native_ = pellix::NativeFileSystem();
};

TEST_F(NativeFileSystemTest, ReadsABlockAtAnOffset) {
  const std::string path = Write("take", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
  std::array<std::uint8_t, 4> block{};
  EXPECT_EQ(native_.ReadBlock(path, 3, block), 4u);
  EXPECT_EQ(block, (std::array<std::uint8_t, 4>{4, 5, 6, 7}));

  // Short at the end of the file; the rest of the block is not touched.
  block.fill(0xEE);
  EXPECT_EQ(native_.ReadBlock(path, 8, block), 2u);
  EXPECT_EQ(block, (std::array<std::uint8_t, 4>{9, 10, 0xEE, 0xEE}));

  // Nothing at or past the end, however far.
  EXPECT_EQ(native_.ReadBlock(path, 10, block), 0u);
  EXPECT_EQ(native_.ReadBlock(path, UINT64_MAX, block), 0u);
  EXPECT_EQ(native_.ReadBlock(Write("empty", {}), 0, block), 0u);
}

TEST_F(NativeFileSystemTest, ReadsAFullSampleFile) {
  Bytes bytes(30050);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 7);
  const std::string path = Write("take", bytes);
  std::vector<std::uint8_t> block(30001);
  ASSERT_EQ(native_.ReadBlock(path, 49, block), 30001u);
  EXPECT_TRUE(std::equal(block.begin(), block.end(), bytes.begin() + 49));
}

TEST_F(NativeFileSystemTest, MissingFileIsFileNotFound) {
  EXPECT_EQ(ReadError(native_, (dir_ / "missing").string()), pellix::kFileNotFound);
  EXPECT_EQ(ReadError(native_, ""), pellix::kFileNotFound);
  // A path through a regular file, as if it were a folder.
  const std::string file = Write("take", {1});
  EXPECT_EQ(ReadError(native_, file + "/inner"), pellix::kFileNotFound);
  // A NUL byte would cut the name short for the system; such a name names no file.
  EXPECT_EQ(ReadError(native_, file + std::string(1, '\0') + "x"), pellix::kFileNotFound);
}

TEST_F(NativeFileSystemTest, WhatIsNotARegularFileIsAPathAccessError) {
  EXPECT_EQ(ReadError(native_, dir_.string()), pellix::kPathFileAccessError);
  EXPECT_EQ(ReadError(native_, "/dev/null"), pellix::kPathFileAccessError);
  EXPECT_EQ(ReadError(native_, "/dev/zero"), pellix::kPathFileAccessError);  // never ends

  // A pipe with no writer: opening must not wait for one.
  const fs::path fifo = dir_ / "fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(ReadError(native_, fifo.string()), pellix::kPathFileAccessError);

  // A socket cannot be opened at all.
  const fs::path socket_path = dir_ / "sock";
  int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(sock, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(socket_path.string().size(), sizeof address.sun_path);
  std::strcpy(address.sun_path, socket_path.c_str());
  ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  EXPECT_EQ(ReadError(native_, socket_path.string()), pellix::kPathFileAccessError);
  ::close(sock);
}

TEST_F(NativeFileSystemTest, UnreadableFileIsPermissionDenied) {
  if (::geteuid() == 0) GTEST_SKIP() << "root may read any file";
  const std::string path = Write("locked", {1, 2, 3});
  fs::permissions(path, fs::perms::none);
  EXPECT_EQ(ReadError(native_, path), pellix::kPermissionDenied);
}

// --- The in-memory layer ----------------------------------------------------------------------

TEST(MemoryFileSystemTest, ReadsLikeARegularFile) {
  pellix::MemoryFileSystem files;
  files.Add("take", {1, 2, 3, 4, 5});
  std::array<std::uint8_t, 3> block{};
  EXPECT_EQ(files.ReadBlock("take", 1, block), 3u);
  EXPECT_EQ(block, (std::array<std::uint8_t, 3>{2, 3, 4}));
  EXPECT_EQ(files.ReadBlock("take", 4, block), 1u);
  EXPECT_EQ(block[0], 5);
  EXPECT_EQ(files.ReadBlock("take", 5, block), 0u);
  EXPECT_EQ(files.ReadBlock("take", UINT64_MAX, block), 0u);
}

TEST(MemoryFileSystemTest, FailsAsTold) {
  pellix::MemoryFileSystem files;
  EXPECT_EQ(ReadError(files, "missing"), pellix::kFileNotFound);
  files.AddFailing("locked", pellix::kPermissionDenied);
  EXPECT_EQ(ReadError(files, "locked"), pellix::kPermissionDenied);
  // A file added later under the same name replaces the failure, and the other way round.
  files.Add("locked", {1});
  EXPECT_EQ(ReadError(files, "locked"), 0);
  files.AddFailing("locked", pellix::kPathFileAccessError);
  EXPECT_EQ(ReadError(files, "locked"), pellix::kPathFileAccessError);
}

// --- Layers side by side ----------------------------------------------------------------------

// Nothing chooses a layer for a thread: each reader names the one it reads, and two layers read
// the same name at once, each its own file, on any thread.
TEST(FileSystemLayers, TwoLayersReadTheirOwnFilesUnderOneNameOnAnyThread) {
  EXPECT_EQ(&pellix::NativeFileSystem(), &pellix::NativeFileSystem());
  pellix::MemoryFileSystem memory;
  memory.Add("/etc/hostname", {7});
  int in_memory_elsewhere = -1;
  std::thread other([&] {
    std::array<std::uint8_t, 1> byte{};
    memory.ReadBlock("/etc/hostname", 0, byte);
    in_memory_elsewhere = byte[0];
  });
  other.join();
  EXPECT_EQ(in_memory_elsewhere, 7);
  EXPECT_EQ(ReadError(pellix::NativeFileSystem(), "/no/such/file"), pellix::kFileNotFound);
  EXPECT_EQ(ReadError(memory, "/no/such/file"), pellix::kFileNotFound);
}

}  // namespace
