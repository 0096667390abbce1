// The sample file: what the control's sample intake reads, and what our converter writes.
//
// Layout (byte offsets from 0):
//   0..7    the signature "PLXSMP01"
//   8..11   the sample rate in Hz, little-endian unsigned 32-bit
//   12..15  the number of samples that follow, little-endian unsigned 32-bit
//   16..48  zero
//   49..    the samples: mono, unsigned 8-bit, centred on 128
// The intake skips the first 49 bytes unread, reads at most kSampleWindow samples and stops at
// the first 0 byte, so a sample that would be 0 is written as 1.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "audio/input_file.h"
#include "files/file_error.h"

namespace pellix {

inline constexpr std::string_view kSampleFileSignature = "PLXSMP01";
inline constexpr std::size_t kSampleFileHeaderSize = 49;
inline constexpr std::uint32_t kDefaultSampleRate = 11025;
// Samples of one take that the intake reads from a sample file (about 2.7 s at 11025 Hz).
inline constexpr std::size_t kSampleWindow = 30001;

// The fields of a sample file header.
struct SampleFileHeader {
  std::uint32_t rate = 0;
  std::uint32_t sample_count = 0;
};

// A sample file read back whole.
struct SampleFileContents {
  SampleFileHeader header;
  std::vector<std::uint8_t> samples;
};

// The 49 header bytes for `header`.
std::array<std::uint8_t, kSampleFileHeaderSize> EncodeSampleFileHeader(
    const SampleFileHeader& header) noexcept;

// The header fields of `bytes`, which hold at least kSampleFileHeaderSize bytes.
SampleFileHeader DecodeSampleFileHeader(std::span<const std::uint8_t> bytes) noexcept;

// The bytes of a whole sample file holding `samples` at `rate` Hz (at most what its header can
// count), a sample of 0 written as 1: what WriteSampleFile writes.
std::vector<std::uint8_t> EncodeSampleFile(std::uint32_t rate,
                                           std::span<const std::uint8_t> samples);

// Writes `samples` at `rate` Hz to a sample file at `path` with WriteFileAtomically (`path`
// never holds a half-written file; only a regular file is replaced, keeping its permissions;
// a symbolic link is written through). A sample of 0 is written as 1. Errors (FileError): 53 when
// the folder does not exist, 70 when writing there is not permitted, 75 for any other failure (path
// is a directory, disk full, ...); 5 for a rate of 0; 6 for more samples than the header can count.
void WriteSampleFile(const std::filesystem::path& path, std::uint32_t rate,
                     std::span<const std::uint8_t> samples);

// Whether `path` is a sample file to be used as it is: its name ends in ".smp" (in any case), or
// it starts with the signature. Never throws: a file that cannot be read is not a sample file
// here, and whoever reads it next reports why.
bool IsSampleFile(const std::filesystem::path& path) noexcept;

// Whether `path` is named as a sample file: its name ends in ".smp" (in any case).
bool HasSampleFileName(const std::filesystem::path& path);

// Whether the open `file` starts with the signature. Never throws: a file that cannot be read
// does not, and whoever reads it next reports why.
bool HasSampleFileSignature(const InputFile& file, const std::filesystem::path& path) noexcept;

// The header of the sample file at `path`, or nothing when the file does not start with the
// signature. Errors (FileError): 53, 70, 75 as for any file read; 321 when the file starts
// with the signature but ends inside the header.
std::optional<SampleFileHeader> ReadSampleFileHeader(const std::filesystem::path& path);
// The same for a file already open (errors as for reading it).
std::optional<SampleFileHeader> ReadSampleFileHeader(const InputFile& file,
                                                     const std::filesystem::path& path);

// Reads a whole sample file. Errors as ReadSampleFileHeader, and 321 when the file lacks the
// signature or holds a different number of samples than its header counts.
SampleFileContents ReadSampleFile(const std::filesystem::path& path);

}  // namespace pellix
