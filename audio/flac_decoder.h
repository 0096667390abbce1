// FLAC files read with libFLAC directly, its channels mixed down as they come out of the
// decoder: libsndfile first copies every sample one at a time into 16-bit frames, which costs
// a fifth as much again as decoding them.
//
//   if (std::unique_ptr<MonoSource> flac = OpenFlac(bytes, levels)) Read(*flac);
#pragma once

#include <memory>

#include "audio/mono_source.h"
#include "audio/recording_bytes.h"
#include "audio/recording_levels.h"

namespace pellix {

// The source of the recording in `bytes` when it is a FLAC stream (it starts "fLaC"); nullptr
// for any other recording. Throws ReadThroughLibsndfile, there or while reading, for a stream
// it does not read exactly as libsndfile does: samples of other than 8 or 16 bits, more than
// two channels, no announced length, a rate the converter refuses, any error libFLAC reports,
// a frame that disagrees with the stream's description or a length that disagrees with its
// frames. libFLAC is loaded the first time a stream is read. `bytes` and `levels` (which may
// be null) stay the caller's and must outlive the source.
std::unique_ptr<MonoSource> OpenFlac(RecordingBytes& bytes, RecordingLevels* levels);

}  // namespace pellix
