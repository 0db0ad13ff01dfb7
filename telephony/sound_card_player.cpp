#include "telephony/sound_card_player.h"

#include "shared/error.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QEventLoop>
#include <QMediaDevices>

#include <algorithm>
#include <cstring>

using modVNQRN::Error;

namespace VoiceBocxLib
{

namespace
{

constexpr int kFeedIntervalMs = 10;
// A device that stops consuming audio must not hang play(): it ends this
// long after the message should have finished.
constexpr qint64 kStallGraceMs = 2000;

QAudioDevice outputFor(int channel)
{
    const QList<QAudioDevice> outputs = QMediaDevices::audioOutputs();
    if (channel >= 0 && channel < outputs.size())
        return outputs.at(channel);
    return QMediaDevices::defaultAudioOutput();
}

} // namespace

SoundCardPlayer::SoundCardPlayer(QObject *parent) : QObject(parent)
{
    m_feedTimer.setTimerType(Qt::PreciseTimer);
    m_feedTimer.setInterval(kFeedIntervalMs);
    connect(&m_feedTimer, &QTimer::timeout, this, &SoundCardPlayer::feed);
}

SoundCardPlayer::~SoundCardPlayer()
{
    if (m_loop)
        finish(Ending::Stopped);
}

int SoundCardPlayer::deviceCount() const
{
    return int(QMediaDevices::audioOutputs().size());
}

bool SoundCardPlayer::isPresent() const
{
    return deviceCount() > 0;
}

int SoundCardPlayer::findChannel() const
{
    const QList<QAudioDevice> outputs = QMediaDevices::audioOutputs();
    if (outputs.isEmpty())
        return -1;
    const QByteArray preferred = QMediaDevices::defaultAudioOutput().id();
    for (qsizetype i = 0; i < outputs.size(); ++i) {
        if (outputs.at(i).id() == preferred)
            return int(i);
    }
    return 0;
}

void SoundCardPlayer::play(const QString &path, qint32 skipSeconds)
{
    if (m_loop)
        throw Error(modVNQRN::errInvalidCall, QStringLiteral("The wave device is already playing"));
    playAudio(decodeVoxFile(path, m_voxRate), skipSeconds);
}

void SoundCardPlayer::playAudio(const PcmAudio &audio, qint32 skipSeconds)
{
    if (m_loop)
        throw Error(modVNQRN::errInvalidCall, QStringLiteral("The wave device is already playing"));
    if (audio.sampleRate <= 0)
        throw Error(modVNQRN::errInvalidCall, QStringLiteral("Invalid sample rate"));
    const QAudioDevice device = outputFor(m_channel);
    if (device.isNull())
        throw Error(modVNQRN::errUnexpected, QStringLiteral("No sound card is installed"));

    m_ending = Ending::None;
    m_failure.clear();
    m_bytesPerSecond = audio.sampleRate * int(sizeof(qint16));
    const qint64 totalFrames = audio.samples.size();
    const qint64 skipFrames =
        std::clamp<qint64>(qint64(std::max(skipSeconds, 0)) * audio.sampleRate, 0, totalFrames);
    m_skipMs = skipFrames * 1000 / audio.sampleRate;
    m_elapsedMs = 0;

    // Silence on both sides: the lead-in covers the device's start-up, the
    // tail fills the device's queue so that the last syllable is pushed out
    // before the stream runs dry.
    const qint64 leadBytes = qint64(m_bytesPerSecond) * kLeadInMs / 1000 & ~qint64(1);
    const qint64 queueBytes = qint64(m_bytesPerSecond) * kQueueMs / 1000 & ~qint64(1);
    const qint64 audioBytes = (totalFrames - skipFrames) * qint64(sizeof(qint16));
    m_pcm = QByteArray(qsizetype(leadBytes + audioBytes + queueBytes), '\0');
    if (audioBytes > 0)
        std::memcpy(m_pcm.data() + leadBytes, audio.samples.constData() + skipFrames,
                    size_t(audioBytes));
    m_audioStart = leadBytes;
    m_audioEnd = leadBytes + audioBytes;
    m_written = 0;
    if (audioBytes == 0) {
        m_ending = Ending::End;
        Q_EMIT playbackFinished();
        return;
    }

    QAudioFormat format;
    format.setSampleRate(audio.sampleRate);
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);
    m_sink = std::make_unique<QAudioSink>(device, format);
    m_sink->setBufferSize(queueBytes);
    m_output = m_sink->start();
    if (!m_output || m_sink->error() != QAudio::NoError) {
        m_sink.reset();
        m_output = nullptr;
        throw Error(modVNQRN::errUnexpected,
                    QStringLiteral("The sound card could not be opened: ") + device.description());
    }
    connect(m_sink.get(), &QAudioSink::stateChanged, this, [this](QAudio::State state) {
        if (state == QAudio::StoppedState && m_sink && m_sink->error() != QAudio::NoError && m_loop)
            m_failure = QStringLiteral("The sound card stopped playing");
    });

    QEventLoop loop;
    m_loop = &loop;
    m_started.start();
    feed();
    Q_EMIT playbackStarted();
    if (m_loop)
        m_feedTimer.start();
    if (m_loop)
        loop.exec();
    m_feedTimer.stop();
    Q_EMIT playbackFinished();
    if (!m_failure.isEmpty())
        throw Error(modVNQRN::errUnexpected, m_failure);
}

void SoundCardPlayer::stop()
{
    if (m_loop)
        finish(Ending::Stopped);
}

qint64 SoundCardPlayer::playedBytes() const
{
    if (!m_sink)
        return 0;
    const qint64 played = m_sink->processedUSecs() * m_bytesPerSecond / 1000000;
    return std::min(played & ~qint64(1), m_written);
}

void SoundCardPlayer::feed()
{
    if (!m_loop || !m_sink)
        return;
    if (!m_failure.isEmpty()) {
        finish(Ending::Stopped);
        return;
    }
    const qint64 room = std::min<qint64>(m_sink->bytesFree(), m_pcm.size() - m_written);
    if (room > 0) {
        const qint64 n = m_output->write(m_pcm.constData() + m_written, room & ~qint64(1));
        if (n > 0)
            m_written += n;
    }
    const qint64 expectedMs = m_pcm.size() * 1000 / m_bytesPerSecond;
    if (playedBytes() >= m_audioEnd)
        finish(Ending::End);
    else if (m_started.elapsed() > expectedMs + kStallGraceMs) {
        m_failure = QStringLiteral("The sound card stopped playing");
        finish(Ending::Stopped);
    }
}

void SoundCardPlayer::finish(Ending ending)
{
    // Read the position before stopping: the sink forgets it on stop().
    const qint64 heard = ending == Ending::End ? m_audioEnd - m_audioStart
                                               : std::clamp<qint64>(playedBytes() - m_audioStart, 0,
                                                                    m_audioEnd - m_audioStart);
    m_elapsedMs = heard * 1000 / m_bytesPerSecond;
    m_ending = ending;
    m_feedTimer.stop();
    if (m_sink) {
        m_sink->disconnect(this);
        m_sink->stop(); // drops whatever is still queued: silence at once
        m_sink.reset();
    }
    m_output = nullptr;
    if (m_loop) {
        m_loop->quit();
        m_loop = nullptr;
    }
}

} // namespace VoiceBocxLib
