// libsoxr's functions that the converter resamples with, for a program that loads libsoxr (and
// the OpenMP runtime it brings) only when a recording first needs resampling (see
// platform/on_demand_library.h). Each looks up the real function on its first call; without
// libsoxr, resampling fails as a resampler that refuses the conversion does (5).
#include <soxr.h>

#include <string>

#include "files/file_error.h"
#include "platform/on_demand_library.h"

namespace {

constexpr pellix::OnDemandStandIns<pellix::FileError> kSoxr{
    "libsoxr.so.0", pellix::FileError::Message, pellix::kInvalidProcedureCall,
    "cannot resample recordings: "};

}  // namespace

#define PELLIX_SOXR_CALL(name, ...) PELLIX_ON_DEMAND_CALL(kSoxr, name, __VA_ARGS__)

extern "C" {

soxr_io_spec_t soxr_io_spec(soxr_datatype_t itype, soxr_datatype_t otype) {
  PELLIX_SOXR_CALL(soxr_io_spec, itype, otype);
}
soxr_quality_spec_t soxr_quality_spec(unsigned long recipe, unsigned long flags) {
  PELLIX_SOXR_CALL(soxr_quality_spec, recipe, flags);
}
soxr_runtime_spec_t soxr_runtime_spec(unsigned num_threads) {
  PELLIX_SOXR_CALL(soxr_runtime_spec, num_threads);
}
soxr_t soxr_create(double input_rate, double output_rate, unsigned num_channels,
                   soxr_error_t* error, soxr_io_spec_t const* io_spec,
                   soxr_quality_spec_t const* quality_spec,
                   soxr_runtime_spec_t const* runtime_spec) {
  PELLIX_SOXR_CALL(soxr_create, input_rate, output_rate, num_channels, error, io_spec, quality_spec,
                   runtime_spec);
}
soxr_error_t soxr_process(soxr_t resampler, soxr_in_t in, size_t ilen, size_t* idone,
                          soxr_out_t out, size_t olen, size_t* odone) {
  PELLIX_SOXR_CALL(soxr_process, resampler, in, ilen, idone, out, olen, odone);
}
char const* soxr_engine(soxr_t resampler) {
  PELLIX_SOXR_CALL(soxr_engine, resampler);
}
void soxr_delete(soxr_t resampler) {
  PELLIX_SOXR_CALL(soxr_delete, resampler);
}

}  // extern "C"
