// libFLAC's functions that the converter decodes FLAC with, for a program that loads libFLAC
// only when it first reads a FLAC recording (see platform/on_demand_library.h). Each looks up
// the real function on its first call; without libFLAC, the recording is read through
// libsndfile, as any other recording is.
//
// The stand-ins are hidden: libsndfile calls libFLAC too, and a program's function of the same
// name would otherwise be exported to stand in for libFLAC's own in libsndfile as well.
#include <FLAC/stream_decoder.h>

#include <string>

#include "audio/mono_source.h"
#include "platform/on_demand_library.h"

namespace {

pellix::ReadThroughLibsndfile Unavailable(int, const std::string&) {
  return {};
}

constexpr pellix::OnDemandStandIns<pellix::ReadThroughLibsndfile> kFlac{"libFLAC.so.12",
                                                                        Unavailable, 0, ""};

}  // namespace

#define PELLIX_FLAC_CALL(name, ...) PELLIX_ON_DEMAND_CALL(kFlac, name, __VA_ARGS__)

extern "C" {
#pragma GCC visibility push(hidden)

FLAC__StreamDecoder* FLAC__stream_decoder_new(void) {
  PELLIX_FLAC_CALL(FLAC__stream_decoder_new);
}
void FLAC__stream_decoder_delete(FLAC__StreamDecoder* decoder) {
  PELLIX_FLAC_CALL(FLAC__stream_decoder_delete, decoder);
}
FLAC__bool FLAC__stream_decoder_set_metadata_respond_all(FLAC__StreamDecoder* decoder) {
  PELLIX_FLAC_CALL(FLAC__stream_decoder_set_metadata_respond_all, decoder);
}
FLAC__StreamDecoderInitStatus FLAC__stream_decoder_init_stream(
    FLAC__StreamDecoder* decoder, FLAC__StreamDecoderReadCallback read_callback,
    FLAC__StreamDecoderSeekCallback seek_callback, FLAC__StreamDecoderTellCallback tell_callback,
    FLAC__StreamDecoderLengthCallback length_callback, FLAC__StreamDecoderEofCallback eof_callback,
    FLAC__StreamDecoderWriteCallback write_callback,
    FLAC__StreamDecoderMetadataCallback metadata_callback,
    FLAC__StreamDecoderErrorCallback error_callback, void* client_data) {
  PELLIX_FLAC_CALL(FLAC__stream_decoder_init_stream, decoder, read_callback, seek_callback,
                   tell_callback, length_callback, eof_callback, write_callback, metadata_callback,
                   error_callback, client_data);
}
FLAC__bool FLAC__stream_decoder_process_until_end_of_metadata(FLAC__StreamDecoder* decoder) {
  PELLIX_FLAC_CALL(FLAC__stream_decoder_process_until_end_of_metadata, decoder);
}
FLAC__bool FLAC__stream_decoder_process_single(FLAC__StreamDecoder* decoder) {
  PELLIX_FLAC_CALL(FLAC__stream_decoder_process_single, decoder);
}
FLAC__bool FLAC__stream_decoder_seek_absolute(FLAC__StreamDecoder* decoder, FLAC__uint64 sample) {
  PELLIX_FLAC_CALL(FLAC__stream_decoder_seek_absolute, decoder, sample);
}

#pragma GCC visibility pop
}  // extern "C"
