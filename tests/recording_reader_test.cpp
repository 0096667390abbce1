// The block reader libsndfile reads recordings through: every byte where the file has it,
// across block boundaries, after seeks from each end, with two readers alive on one thread.
#include <fcntl.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "audio/input_file.h"
#include "audio/recording_reader.h"
#include "files/file_error.h"
#include "scratch_directory_test_base.h"

namespace pellix {
namespace {

constexpr std::size_t kBlock = RecordingReader::kBlockSize;

// Byte i of a test file: 251 is prime, so no block boundary falls on a repeat of the pattern.
std::uint8_t ByteAt(std::uint64_t i) {
  return static_cast<std::uint8_t>((i * 7 + 3) % 251);
}

class RecordingReaderTest : public ScratchDirectoryTest {
 protected:
  std::filesystem::path Write(const std::string& name, std::size_t size, std::uint64_t first = 0) {
    std::vector<char> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(ByteAt(first + i));
    const std::filesystem::path path = dir_ / name;
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(size));
    return path;
  }
};

TEST_F(RecordingReaderTest, ReadsAtAnyOffsetWhatTheFileHolds) {
  const std::size_t size = 2 * kBlock + kBlock / 2;
  const std::filesystem::path path = Write("r.bin", size);
  const InputFile file = OpenInputFile(path, "recording");
  RecordingReader reader(file, path);
  struct Row {
    std::uint64_t offset;
    std::size_t wanted;
    std::size_t got;  // fewer only past the end
  };
  const Row rows[] = {
      {0, 12, 12},                           // the first block
      {kBlock - 5, 10, 10},                  // across the first boundary
      {3, 4, 4},                             // back into a block read before
      {kBlock / 2, 2 * kBlock, 2 * kBlock},  // more than a block, over two boundaries
      {size - 4, 10, 4},                     // the end
      {size, 8, 0},                          // past it
  };
  for (const Row& row : rows) {
    std::vector<std::uint8_t> out(row.wanted, 0);
    ASSERT_EQ(reader.ReadAt(row.offset, out), row.got) << row.offset;
    for (std::size_t i = 0; i < row.got; ++i) {
      ASSERT_EQ(out[i], ByteAt(row.offset + i)) << row.offset << " + " << i;
    }
  }
}

TEST_F(RecordingReaderTest, LibsndfilesSeeksAndReadsMoveOnePosition) {
  const std::filesystem::path path = Write("s.bin", 1000);
  const InputFile file = OpenInputFile(path, "recording");
  RecordingReader reader(file, path);
  SF_VIRTUAL_IO io = RecordingReader::Callbacks();
  std::uint8_t out[8] = {};
  EXPECT_EQ(io.get_filelen(&reader), 1000);
  EXPECT_EQ(io.seek(-4, SEEK_END, &reader), 996);
  EXPECT_EQ(io.read(out, 8, &reader), 4);
  EXPECT_EQ(out[3], ByteAt(999));
  EXPECT_EQ(io.tell(&reader), 1000);
  EXPECT_EQ(io.seek(-10, SEEK_CUR, &reader), 990);
  EXPECT_EQ(io.seek(-991, SEEK_CUR, &reader), -1);  // before the start: refused, not moved
  EXPECT_EQ(io.tell(&reader), 990);
  EXPECT_EQ(io.seek(20, SEEK_SET, &reader), 20);
  EXPECT_EQ(io.read(out, 2, &reader), 2);
  EXPECT_EQ(out[0], ByteAt(20));
  EXPECT_EQ(out[1], ByteAt(21));
  EXPECT_EQ(io.write(out, 2, &reader), 0);
}

// A read that fails under libsndfile ends its data there and is raised afterwards as what it
// was (75, naming the file), not as the damaged recording libsndfile would then describe.
TEST_F(RecordingReaderTest, AFailedReadIsRaisedAsAReadError) {
  const std::filesystem::path path = Write("w.bin", 100);
  InputFile file{UniqueFd(::open(path.c_str(), O_WRONLY | O_CLOEXEC)), 100};  // reads fail
  RecordingReader reader(file, path);
  SF_VIRTUAL_IO io = RecordingReader::Callbacks();
  std::uint8_t out[8] = {};
  EXPECT_EQ(io.read(out, 8, &reader), 0);
  EXPECT_EQ(io.read(out, 8, &reader), 0);  // and stays failed
  try {
    reader.RaiseReadFailure();
    ADD_FAILURE() << "no error";
  } catch (const FileError& e) {
    EXPECT_EQ(e.number(), kPathFileAccessError);
    EXPECT_NE(std::string(e.what()).find("w.bin"), std::string::npos) << e.what();
  }
}

// The thread's block is lent to one reader at a time: a second reader alive at once reads its
// own file, and the first still reads its own after.
TEST_F(RecordingReaderTest, TwoReadersOnOneThreadKeepTheirOwnBytes) {
  const std::filesystem::path first_path = Write("a.bin", 3000);
  const std::filesystem::path second_path = Write("b.bin", 3000, 100);
  const InputFile first_file = OpenInputFile(first_path, "recording");
  const InputFile second_file = OpenInputFile(second_path, "recording");
  RecordingReader first(first_file, first_path);
  std::vector<std::uint8_t> out(4);
  first.ReadAt(10, out);
  EXPECT_EQ(out[0], ByteAt(10));
  {
    RecordingReader second(second_file, second_path);
    second.ReadAt(10, out);
    EXPECT_EQ(out[0], ByteAt(110));
  }
  first.ReadAt(2000, out);
  EXPECT_EQ(out[0], ByteAt(2000));
}

}  // namespace
}  // namespace pellix
