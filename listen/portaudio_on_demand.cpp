// PortAudio's functions that Pellix captures with, for a program that loads PortAudio only when
// it first listens to a device (see platform/on_demand_library.h). Each looks up the real
// function on its first call; without PortAudio, listening to a device fails as a PortAudio
// that cannot start does (75), with the reason.
#include <portaudio.h>

#include <string>

#include "listen/input_stream.h"
#include "platform/error.h"
#include "platform/on_demand_library.h"

namespace {

constexpr pellix::OnDemandStandIns<pellix::listen::StreamError> kPortAudio{
    "libportaudio.so.2",
    [](int number, const std::string& message) {
      return pellix::listen::StreamError(number, message);
    },
    pellix::kPathFileAccessError, "cannot start PortAudio: "};

}  // namespace

#define PELLIX_PORTAUDIO_CALL(name, ...) PELLIX_ON_DEMAND_CALL(kPortAudio, name, __VA_ARGS__)

extern "C" {

PaError Pa_Initialize(void) {
  PELLIX_PORTAUDIO_CALL(Pa_Initialize);
}
PaError Pa_Terminate(void) {
  PELLIX_PORTAUDIO_CALL(Pa_Terminate);
}
const char* Pa_GetErrorText(PaError errorCode) {
  PELLIX_PORTAUDIO_CALL(Pa_GetErrorText, errorCode);
}
PaDeviceIndex Pa_GetDeviceCount(void) {
  PELLIX_PORTAUDIO_CALL(Pa_GetDeviceCount);
}
PaDeviceIndex Pa_GetDefaultInputDevice(void) {
  PELLIX_PORTAUDIO_CALL(Pa_GetDefaultInputDevice);
}
const PaDeviceInfo* Pa_GetDeviceInfo(PaDeviceIndex device) {
  PELLIX_PORTAUDIO_CALL(Pa_GetDeviceInfo, device);
}
PaError Pa_OpenStream(PaStream** stream, const PaStreamParameters* inputParameters,
                      const PaStreamParameters* outputParameters, double sampleRate,
                      unsigned long framesPerBuffer, PaStreamFlags streamFlags,
                      PaStreamCallback* streamCallback, void* userData) {
  PELLIX_PORTAUDIO_CALL(Pa_OpenStream, stream, inputParameters, outputParameters, sampleRate,
                        framesPerBuffer, streamFlags, streamCallback, userData);
}
PaError Pa_SetStreamFinishedCallback(PaStream* stream,
                                     PaStreamFinishedCallback* streamFinishedCallback) {
  PELLIX_PORTAUDIO_CALL(Pa_SetStreamFinishedCallback, stream, streamFinishedCallback);
}
PaError Pa_StartStream(PaStream* stream) {
  PELLIX_PORTAUDIO_CALL(Pa_StartStream, stream);
}
PaError Pa_AbortStream(PaStream* stream) {
  PELLIX_PORTAUDIO_CALL(Pa_AbortStream, stream);
}
PaError Pa_CloseStream(PaStream* stream) {
  PELLIX_PORTAUDIO_CALL(Pa_CloseStream, stream);
}
PaError Pa_IsStreamActive(PaStream* stream) {
  PELLIX_PORTAUDIO_CALL(Pa_IsStreamActive, stream);
}

}  // extern "C"
