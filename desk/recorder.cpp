#include "desk/recorder.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSource>
#include <QByteArray>
#include <QIODevice>
#include <QMediaDevices>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace pellix::desk {
namespace {

// The rate the desk asks a device for: plenty for speech, and what most devices offer.
constexpr int kDeviceRate = 16000;

}  // namespace

Recorder::Recorder(QObject* parent) : QObject(parent) {}

Recorder::~Recorder() {
  if (audio_ != nullptr) audio_->stop();
}

bool Recorder::startDevice(QString& error) {
  const QAudioDevice device = QMediaDevices::defaultAudioInput();
  if (device.isNull()) {
    error = "there is no sound input device to record from";
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
  cutter_.emplace(listen::SegmenterSettings{}, static_cast<std::uint32_t>(format.sampleRate()));
  connect(source_, &QIODevice::readyRead, this, &Recorder::Read);
  return true;
}

void Recorder::startSource(QIODevice* source, std::uint32_t rate) {
  source_ = source;
  channels_ = 1;
  floats_ = false;
  cutter_.emplace(listen::SegmenterSettings{}, rate);
  connect(source_, &QIODevice::readyRead, this, &Recorder::Read);
  Read();
}

void Recorder::Read() {
  if (!cutter_) return;
  const qint64 frame_bytes = channels_ * (floats_ ? 4 : 2);
  // A tenth of a second at a time, so the meter moves as the sound comes.
  const qint64 block_bytes = std::max<qint64>(1, cutter_->rate() / 10) * frame_bytes;
  while (source_->bytesAvailable() >= frame_bytes) {
    const QByteArray data =
        source_->read(std::min(block_bytes, source_->bytesAvailable() / frame_bytes * frame_bytes));
    const auto frames = static_cast<std::size_t>(data.size() / frame_bytes);
    block_.resize(frames);
    for (std::size_t f = 0; f < frames; ++f) {
      // The mean of the frame's channels, as 16-bit.
      double sum = 0;
      for (int c = 0; c < channels_; ++c) {
        const char* at =
            data.constData() + static_cast<qint64>(f) * frame_bytes + c * (floats_ ? 4 : 2);
        if (floats_) {
          float v;
          std::memcpy(&v, at, sizeof v);
          sum += std::clamp(static_cast<double>(v), -1.0, 1.0) * 32767;
        } else {
          std::int16_t v;
          std::memcpy(&v, at, sizeof v);
          sum += v;
        }
      }
      block_[f] = static_cast<std::int16_t>(std::lround(sum / channels_));
    }
    emit level(PeakDbfs(block_));
    Emit(cutter_->Feed(block_));
  }
  if (audio_ == nullptr && !source_->isSequential() && source_->atEnd()) stop();
}

void Recorder::Emit(const std::vector<CutUtterance>& cut) {
  for (const CutUtterance& u : cut) emit utterance(u.samples, cutter_->rate());
}

void Recorder::stop() {
  if (!cutter_) return;
  QString error;
  if (audio_ != nullptr) {
    if (audio_->error() != QAudio::NoError && audio_->error() != QAudio::UnderrunError)
      error = "the sound input failed";
    audio_->stop();
    audio_->deleteLater();
    audio_ = nullptr;
  }
  if (source_ != nullptr) disconnect(source_, nullptr, this, nullptr);
  source_ = nullptr;
  Emit(cutter_->End());
  cutter_.reset();
  emit level(-96);
  emit stopped(error);
}

}  // namespace pellix::desk
