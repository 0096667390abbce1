#include "desk/recorder.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSource>
#include <QByteArray>
#include <QIODevice>
#include <QMediaDevices>
#include <QProcess>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

namespace pellix::desk {
namespace {

// The rate the desk asks a device for: plenty for speech, and what most devices offer.
constexpr int kDeviceRate = 16000;
// The most read from a source at once: a second of 16-bit stereo at 48 kHz.
constexpr qint64 kReadBytes = 192000;

}  // namespace

QString NoInputAdvice(const QString& server_sources) {
  const QString microphone =
      "connect a microphone (or switch on the one there is in the sound settings) and press "
      "Record again";
  for (const QString& line : server_sources.split('\n', Qt::SkipEmptyParts)) {
    const QStringList fields = line.split('\t');
    // PulseAudio (and PipeWire's server for its clients) names the input that hears an output
    // "<output>.monitor".
    if (fields.size() < 2 || !fields[1].endsWith(".monitor")) continue;
    return "the sound server's only input is '" + fields[1] +
           "', the monitor of an output: it hears what this computer plays, and Qt records "
           "from no monitor. To record someone speaking, " +
           microphone +
           ". To record what this computer plays, give the monitor a source of its own "
           "(pactl load-module module-remap-source master=" +
           fields[1] + " source_name=pellix_input) and press Record again";
  }
  return "there is no sound input to record from: " + microphone;
}

Recorder::Recorder(QObject* parent) : QObject(parent) {}

Recorder::~Recorder() {
  if (audio_ == nullptr) return;
  audio_->disconnect(this);
  audio_->stop();
}

bool Recorder::startDevice(QString& error) {
  const QAudioDevice device = QMediaDevices::defaultAudioInput();
  if (device.isNull()) {
    // What the server has, asked of its own tool: Qt does not say.
    QProcess pactl;
    pactl.start("pactl", {"list", "short", "sources"});
    const bool listed = pactl.waitForFinished(3000) && pactl.exitCode() == 0;
    error = NoInputAdvice(listed ? QString::fromUtf8(pactl.readAllStandardOutput()) : QString());
    return false;
  }
  QAudioFormat format;
  format.setSampleRate(kDeviceRate);
  format.setChannelCount(1);
  format.setSampleFormat(QAudioFormat::Int16);
  if (!device.isFormatSupported(format)) format = device.preferredFormat();
  if (format.sampleFormat() != QAudioFormat::Int16 &&
      format.sampleFormat() != QAudioFormat::Float) {
    error =
        "the sound input '" + device.description() + "' offers neither 16-bit nor float samples";
    return false;
  }
  audio_ = new QAudioSource(device, format, this);
  channels_ = std::max(1, format.channelCount());
  floats_ = format.sampleFormat() == QAudioFormat::Float;
  QIODevice* io = audio_->start();
  if (io == nullptr || audio_->error() != QAudio::NoError) {
    error = "the sound input '" + device.description() + "' could not be opened";
    delete audio_;
    audio_ = nullptr;
    return false;
  }
  source_ = io;
  pending_.clear();
  cutter_.emplace(listen::SegmenterSettings{}, static_cast<std::uint32_t>(format.sampleRate()));
  connect(source_, &QIODevice::readyRead, this, &Recorder::Read);
  // A server that goes away, or a device unplugged, ends the recording with what it gave.
  connect(audio_, &QAudioSource::stateChanged, this, [this](QAudio::State state) {
    if (state == QAudio::StoppedState && audio_ != nullptr && audio_->error() != QAudio::NoError)
      stop();
  });
  return true;
}

void Recorder::startSource(QIODevice* source, std::uint32_t rate) {
  source_ = source;
  channels_ = 1;
  floats_ = false;
  pending_.clear();
  cutter_.emplace(listen::SegmenterSettings{}, rate);
  connect(source_, &QIODevice::readyRead, this, &Recorder::Read);
  Read();
}

void Recorder::Read() {
  if (!cutter_ || source_ == nullptr) return;
  // Read until nothing comes, whatever bytesAvailable() says: a sound server's reader may say
  // nothing is there while read() returns what it holds (Qt 6.4 on PulseAudio does).
  for (QByteArray data = source_->read(kReadBytes); !data.isEmpty();
       data = source_->read(kReadBytes)) {
    pending_.append(data);
    if (!Cut() || source_ == nullptr) return;
  }
  if (audio_ == nullptr && !source_->isSequential() && source_->atEnd()) stop();
}

bool Recorder::Cut() {
  const qint64 value_bytes = floats_ ? 4 : 2;
  const qint64 frame_bytes = channels_ * value_bytes;
  // A tenth of a second at a time, so the meter moves as the sound comes.
  const qint64 block_frames = std::max<qint64>(1, cutter_->rate() / 10);
  qint64 at = 0;
  while (pending_.size() - at >= frame_bytes) {
    const qint64 frames = std::min(block_frames, (pending_.size() - at) / frame_bytes);
    block_.resize(static_cast<std::size_t>(frames));
    for (qint64 f = 0; f < frames; ++f) {
      // The mean of the frame's channels, as 16-bit.
      double sum = 0;
      for (int c = 0; c < channels_; ++c) {
        const char* value = pending_.constData() + at + f * frame_bytes + c * value_bytes;
        if (floats_) {
          float v;
          std::memcpy(&v, value, sizeof v);
          sum += std::clamp(static_cast<double>(v), -1.0, 1.0) * 32767;
        } else {
          std::int16_t v;
          std::memcpy(&v, value, sizeof v);
          sum += v;
        }
      }
      block_[static_cast<std::size_t>(f)] = static_cast<std::int16_t>(std::lround(sum / channels_));
    }
    at += frames * frame_bytes;
    emit level(PeakDbfs(block_));
    if (!cutter_) return false;
    Emit(cutter_->Feed(block_));
    if (!cutter_) return false;
  }
  pending_.remove(0, at);
  return true;
}

void Recorder::Emit(const std::vector<CutUtterance>& cut) {
  const std::uint32_t rate = cutter_->rate();
  for (const CutUtterance& u : cut) emit utterance(u.samples, rate);
}

void Recorder::stop() {
  if (!cutter_) return;
  QString error;
  // A device's reader goes with the device when it stops: let go of it first.
  if (source_ != nullptr) disconnect(source_, nullptr, this, nullptr);
  source_ = nullptr;
  pending_.clear();
  if (QAudioSource* audio = std::exchange(audio_, nullptr)) {
    if (audio->error() != QAudio::NoError && audio->error() != QAudio::UnderrunError)
      error = "the sound input failed (its sound server stopped, or the device went away)";
    audio->disconnect(this);
    audio->stop();
    audio->deleteLater();
  }
  const std::uint32_t rate = cutter_->rate();
  const std::vector<CutUtterance> last = cutter_->End();
  cutter_.reset();
  for (const CutUtterance& u : last) emit utterance(u.samples, rate);
  emit level(-96);
  emit stopped(error);
}

}  // namespace pellix::desk
