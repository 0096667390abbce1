// Plain PCM WAV files read straight from their bytes, with no libsndfile call: most recordings
// handed over are such files, and libsndfile costs its start-up and a copy of every sample.
//
//   if (std::unique_ptr<MonoSource> wav = OpenWavPcm(bytes, levels)) Read(*wav);
#pragma once

#include <memory>

#include "audio/mono_source.h"
#include "audio/recording_bytes.h"
#include "audio/recording_levels.h"

namespace pellix {

// The source of the recording in `bytes` when it is a WAV file read here: 8-bit or 16-bit PCM
// samples of one or two channels, a rate the converter takes, one sound chunk that holds all
// the whole frames its header announces, and no other chunk but those libsndfile reads nothing
// from that matters (padding, a frame count, lists of INFO entries, any list after the sound).
// nullptr for any other recording, which libsndfile reads. `bytes` and `levels` (which may be
// null) stay the caller's and must outlive the source.
std::unique_ptr<MonoSource> OpenWavPcm(RecordingBytes& bytes, RecordingLevels* levels);

}  // namespace pellix
