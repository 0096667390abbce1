#include "audio/sample_file.h"

#include <algorithm>
#include <cctype>
#include <limits>
#include <string>
#include <string_view>

#include "files/atomic_file.h"
#include "files/file_error.h"

namespace pellix {
namespace {

void PutLittleEndian32(std::uint8_t* out, std::uint32_t value) noexcept {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint32_t GetLittleEndian32(const std::uint8_t* in) noexcept {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | in[i];
  return value;
}

}  // namespace

std::array<std::uint8_t, kSampleFileHeaderSize> EncodeSampleFileHeader(
    const SampleFileHeader& header) noexcept {
  std::array<std::uint8_t, kSampleFileHeaderSize> bytes{};
  std::copy(kSampleFileSignature.begin(), kSampleFileSignature.end(), bytes.begin());
  PutLittleEndian32(&bytes[8], header.rate);
  PutLittleEndian32(&bytes[12], header.sample_count);
  return bytes;
}

void WriteSampleFile(const std::filesystem::path& path, std::uint32_t rate,
                     std::span<const std::uint8_t> samples) {
  if (rate == 0) {
    throw FileError::Message(kInvalidProcedureCall, "cannot write sample file '" + path.string() +
                                                        "': the sample rate is 0");
  }
  if (samples.size() > std::numeric_limits<std::uint32_t>::max()) {
    throw FileError::Message(kOverflow, "cannot write sample file '" + path.string() +
                                            "': more samples than its header can count");
  }

  const std::vector<std::uint8_t> bytes = EncodeSampleFile(rate, samples);
  try {
    WriteFileAtomically(
        path.string(), std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  } catch (const FileError& e) {
    throw FileError::Message(e.number(),
                             "cannot write sample file '" + path.string() + "': " + e.what());
  }
}

std::vector<std::uint8_t> EncodeSampleFile(std::uint32_t rate,
                                           std::span<const std::uint8_t> samples) {
  std::vector<std::uint8_t> bytes(kSampleFileHeaderSize + samples.size());
  const auto header = EncodeSampleFileHeader({rate, static_cast<std::uint32_t>(samples.size())});
  std::copy(header.begin(), header.end(), bytes.begin());
  // A 0 byte would end the take for the intake: the quietest sample it may hold is 1.
  std::replace_copy(samples.begin(), samples.end(), bytes.begin() + kSampleFileHeaderSize,
                    std::uint8_t{0}, std::uint8_t{1});
  return bytes;
}

bool HasSampleFileName(const std::filesystem::path& path) {
  std::string extension = path.extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension == ".smp";
}

bool HasSampleFileSignature(const InputFile& file, const std::filesystem::path& path) noexcept {
  try {
    std::array<std::uint8_t, kSampleFileSignature.size()> start{};
    return ReadAt(file, 0, start, path) == start.size() &&
           std::equal(start.begin(), start.end(), kSampleFileSignature.begin());
  } catch (...) {
    return false;
  }
}

bool IsSampleFile(const std::filesystem::path& path) noexcept {
  try {
    return HasSampleFileName(path) ||
           HasSampleFileSignature(OpenInputFile(path, "sample file"), path);
  } catch (...) {
    return false;
  }
}

std::optional<SampleFileHeader> ReadSampleFileHeader(const InputFile& file,
                                                     const std::filesystem::path& path) {
  std::array<std::uint8_t, kSampleFileHeaderSize> bytes{};
  std::size_t got = ReadAt(file, 0, bytes, path);
  if (got < kSampleFileSignature.size() ||
      !std::equal(kSampleFileSignature.begin(), kSampleFileSignature.end(), bytes.begin())) {
    return std::nullopt;
  }
  if (got < bytes.size()) {
    throw FileError::Message(kInvalidFileFormat,
                             "sample file '" + path.string() + "' ends inside its header");
  }
  return DecodeSampleFileHeader(bytes);
}

SampleFileHeader DecodeSampleFileHeader(std::span<const std::uint8_t> bytes) noexcept {
  return SampleFileHeader{GetLittleEndian32(&bytes[8]), GetLittleEndian32(&bytes[12])};
}

std::optional<SampleFileHeader> ReadSampleFileHeader(const std::filesystem::path& path) {
  return ReadSampleFileHeader(OpenInputFile(path, "sample file"), path);
}

SampleFileContents ReadSampleFile(const std::filesystem::path& path) {
  InputFile file = OpenInputFile(path, "sample file");
  std::optional<SampleFileHeader> header = ReadSampleFileHeader(file, path);
  if (!header) {
    throw FileError::Message(kInvalidFileFormat,
                             "'" + path.string() +
                                 "' is not a sample file: it does not start with \"" +
                                 std::string(kSampleFileSignature) + "\"");
  }
  // Compare with the size first: a damaged count must not make us allocate gigabytes.
  std::uint64_t present = file.size - kSampleFileHeaderSize;
  auto mismatch = [&] {
    return FileError::Message(kInvalidFileFormat, "sample file '" + path.string() + "' counts " +
                                                      std::to_string(header->sample_count) +
                                                      " samples but holds " +
                                                      std::to_string(present));
  };
  if (present != header->sample_count) throw mismatch();
  SampleFileContents contents{*header, std::vector<std::uint8_t>(header->sample_count)};
  present = ReadAt(file, kSampleFileHeaderSize, contents.samples, path);
  std::array<std::uint8_t, 1> beyond{};
  present += ReadAt(file, kSampleFileHeaderSize + present, beyond, path);
  if (present != header->sample_count) throw mismatch();  // the file changed meanwhile
  return contents;
}

}  // namespace pellix
