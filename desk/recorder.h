// Recording at the desk: sound from the default input device (Qt Multimedia) or from any
// source of 16-bit mono PCM, its level as it comes, and each utterance as it ends, cut by the
// segmenter pellix listen uses. Lives on the window's thread; the work per block is small.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "desk/utterance_cutter.h"

class QAudioSource;
class QIODevice;

namespace pellix::desk {

// Why there is no input to record from and what to do, given the sound server's sources as
// `pactl list short sources` lists them (empty where there is no such server). Qt offers no
// monitor of an output as an input, so a server whose only source is a monitor (a machine
// without a microphone) looks to the desk like no sound at all: say so, and how to give the
// monitor a source of its own that Qt records from.
QString NoInputAdvice(const QString& server_sources);

class Recorder : public QObject {
  Q_OBJECT

 public:
  explicit Recorder(QObject* parent = nullptr);
  ~Recorder() override;

  // Records from the default input device, 16-bit mono where it offers that (other formats
  // are mixed down). False, with the reason and what to do in `error`, when there is no device
  // to record from.
  bool startDevice(QString& error);
  // Records from `source`: 16-bit mono PCM at `rate`, read whenever data arrives. A source
  // that is not sequential (a file, a buffer) ends the recording when it is read to its end.
  void startSource(QIODevice* source, std::uint32_t rate);
  // Ends the recording: the utterance going on, if any, is reported.
  void stop();
  bool recording() const { return cutter_.has_value(); }

 signals:
  // The peak of the latest block, in dBFS (-96 to 0).
  void level(double peak_dbfs);
  // An utterance ended: its sound, 16-bit mono at `rate`.
  void utterance(const std::vector<std::int16_t>& samples, std::uint32_t rate);
  // The recording ended (stop(), the end of the source, or a device error in `error`).
  void stopped(const QString& error);

 private:
  void Read();
  // Mixes the whole frames of `pending_` down to 16-bit mono, a tenth of a second at a time,
  // and feeds them to the cutter; false when a listener stopped the recording meanwhile.
  bool Cut();
  void Emit(const std::vector<CutUtterance>& cut);

  QAudioSource* audio_ = nullptr;  // while recording from a device
  // What is read. A device's reader belongs to its QAudioSource, which frees it when it stops.
  QPointer<QIODevice> source_;
  QByteArray pending_;   // read, not yet a whole frame or block
  int channels_ = 1;     // values a frame in the source
  bool floats_ = false;  // the source's values are floats, not 16-bit
  std::optional<UtteranceCutter> cutter_;
  std::vector<std::int16_t> block_;
};

}  // namespace pellix::desk
