#include "telephony/sound_card_player.h"

#include "shared/error.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QEventLoop>
#include <QMediaDevices>

#include <algorithm>

using modVNQRN::Error;

namespace VoiceBocxLib
{

namespace
{

constexpr int kFeedIntervalMs = 10;
// Room in the device's queue that a play leaves free, so that a stop can
// put its fade in at once, behind what is queued, even if the event loop
// does not run again before the queue has played out.
constexpr int kStopRoomMs = 2 * VoxPlaybackDevice::kFadeMs;
// A device whose played position stands still this long while it has
// audio queued has stopped taking audio.
constexpr qint64 kStallGraceMs = 2000;
// How long a stopped sink is kept before it is deleted: the audio server's
// thread may still report on its stream for a moment after the stop.
constexpr int kRetireMs = 1000;

QAudioDevice outputFor(int channel)
{
    const QList<QAudioDevice> outputs = QMediaDevices::audioOutputs();
    if (channel >= 0 && channel < outputs.size())
        return outputs.at(channel);
    return QMediaDevices::defaultAudioOutput();
}

// The bytes a sink has played, by its clock, never more than it was given.
qint64 playedOf(const QAudioSink &sink, int bytesPerSecond, qint64 written)
{
    const qint64 played = sink.processedUSecs() * bytesPerSecond / 1000000;
    return std::min(played & ~qint64(1), written);
}

// Hands the sink what it has room for, less `keepFree` bytes: `pending`
// first, then what `more` gives for the room left; what the sink does not
// take stays in `pending`. Returns the bytes handed over.
template <typename More>
qint64 writeSome(QAudioSink &sink, QIODevice *output, QByteArray &pending, qint64 keepFree,
                 More &&more)
{
    const qint64 room = (sink.bytesFree() - keepFree) & ~qint64(1);
    if (room <= 0 || !output)
        return 0;
    if (pending.size() < room)
        pending += more(room - pending.size());
    const qint64 n = output->write(pending.constData(), std::min<qint64>(room, pending.size()));
    if (n <= 0)
        return 0;
    pending.remove(0, qsizetype(n));
    return n;
}

} // namespace

// A stopped or ended play's sink, kept until the fade and the silence
// after it have sounded, so that stopping it drops only silence.
struct SoundCardPlayer::Draining {
    std::unique_ptr<QAudioSink> sink;
    QIODevice *output = nullptr;
    QByteArray rest;    // audio not yet handed to the sink
    qint64 written = 0; // bytes handed to the sink
    int bytesPerSecond = 0;
    QElapsedTimer since;
};

SoundCardPlayer::SoundCardPlayer(QObject *parent) : QObject(parent)
{
    m_feedTimer.setTimerType(Qt::PreciseTimer);
    m_feedTimer.setInterval(kFeedIntervalMs);
    connect(&m_feedTimer, &QTimer::timeout, this, &SoundCardPlayer::feed);
    m_drainTimer.setInterval(kFeedIntervalMs);
    connect(&m_drainTimer, &QTimer::timeout, this, &SoundCardPlayer::drain);
}

SoundCardPlayer::~SoundCardPlayer()
{
    if (m_loop)
        stop();
    m_drainTimer.stop();
    auto draining = std::move(m_draining);
    m_draining.clear();
    for (auto &d : draining)
        retire(std::move(d->sink));
}

void SoundCardPlayer::retire(std::unique_ptr<QAudioSink> sink)
{
    if (!sink)
        return;
    sink->disconnect(this);
    sink->stop();
    QAudioSink *const kept = sink.release();
    kept->setParent(this); // goes with the player at the latest
    QTimer::singleShot(kRetireMs, kept, &QObject::deleteLater);
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
    // The file first: a message that cannot be played fails before any sound.
    m_source.start(path, m_voxRate, skipSeconds, kLeadInMs, kQueueMs);
    m_ending = Ending::None;
    m_failure.clear();
    m_elapsedMs = 0;
    if (m_source.endFrame() == m_source.startFrame()) {
        m_source.close();
        m_ending = Ending::End;
        Q_EMIT playbackFinished();
        return;
    }
    const QAudioDevice device = outputFor(m_channel);
    if (device.isNull()) {
        m_source.close();
        throw Error(modVNQRN::errUnexpected, QStringLiteral("No sound card is installed"));
    }

    m_bytesPerSecond = m_voxRate * int(sizeof(qint16));
    const qint64 queueBytes = qint64(m_bytesPerSecond) * kQueueMs / 1000 & ~qint64(1);
    QAudioFormat format;
    format.setSampleRate(m_voxRate);
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);
    m_sink = std::make_unique<QAudioSink>(device, format);
    m_sink->setBufferSize(queueBytes);
    m_output = m_sink->start();
    if (!m_output || m_sink->error() != QAudio::NoError) {
        retire(std::move(m_sink));
        m_output = nullptr;
        m_source.close();
        throw Error(modVNQRN::errUnexpected,
                    QStringLiteral("The sound card could not be opened: ") + device.description());
    }
    connect(m_sink.get(), &QAudioSink::stateChanged, this, [this](QAudio::State state) {
        if (state == QAudio::StoppedState && m_sink && m_sink->error() != QAudio::NoError &&
            m_loop && m_failure.isEmpty()) {
            m_failure = QStringLiteral("The sound card stopped playing");
            m_failureNumber = modVNQRN::errUnexpected;
        }
    });

    QEventLoop loop;
    m_loop = &loop;
    m_written = 0;
    m_pending.clear();
    m_lastPlayed = -1;
    m_progressClock.start();
    feed();
    Q_EMIT playbackStarted();
    if (m_loop)
        m_feedTimer.start();
    if (m_loop)
        loop.exec();
    m_feedTimer.stop();
    Q_EMIT playbackFinished();
    if (!m_failure.isEmpty())
        throw Error(m_failureNumber, m_failure);
}

void SoundCardPlayer::stop()
{
    if (m_loop)
        finish(Ending::Stopped);
}

qint64 SoundCardPlayer::elapsedMs() const
{
    if (!m_loop)
        return m_elapsedMs;
    return (m_source.framesAt(playedBytes()) - m_source.startFrame()) * 1000 / m_voxRate;
}

qint64 SoundCardPlayer::playedBytes() const
{
    return m_sink ? playedOf(*m_sink, m_bytesPerSecond, m_written) : 0;
}

void SoundCardPlayer::feed()
{
    if (!m_loop || !m_sink)
        return;
    if (m_failure.isEmpty()) {
        const qint64 stopRoom = qint64(m_bytesPerSecond) * kStopRoomMs / 1000;
        m_written += writeSome(*m_sink, m_output, m_pending, stopRoom, [this](qint64 room) {
            QByteArray more(qsizetype(room), Qt::Uninitialized);
            const qint64 n = m_source.read(more.data(), room);
            more.truncate(qsizetype(std::max<qint64>(n, 0)));
            return more;
        });
        if (const auto &failure = m_source.failure()) {
            m_failure = failure->description();
            m_failureNumber = failure->number();
        }
    }
    const qint64 played = playedBytes();
    if (played != m_lastPlayed) {
        m_lastPlayed = played;
        m_progressClock.restart();
    } else if (m_failure.isEmpty() && m_written > played &&
               m_progressClock.elapsed() > kStallGraceMs) {
        // A device that stops taking audio must not hang play().
        m_failure = QStringLiteral("The sound card stopped playing");
        m_failureNumber = modVNQRN::errUnexpected;
    }
    if (!m_failure.isEmpty())
        finish(Ending::Stopped);
    else if (played >= m_source.messageEndBytes())
        finish(Ending::End);
}

void SoundCardPlayer::finish(Ending ending)
{
    const bool failed = !m_failure.isEmpty();
    // Read the position before the sink goes: it forgets it when stopped.
    qint64 endFrame = m_source.endFrame();
    if (failed)
        endFrame = m_source.framesAt(playedBytes());
    else if (ending == Ending::Stopped)
        endFrame = m_source.cut();
    m_elapsedMs = (endFrame - m_source.startFrame()) * 1000 / m_voxRate;
    m_ending = ending;
    m_feedTimer.stop();
    if (m_sink) {
        m_sink->disconnect(this);
        if (failed) {
            retire(std::move(m_sink));
        } else {
            auto d = std::make_unique<Draining>();
            d->rest = m_pending + m_source.readAll(); // the fade and the silence after it
            d->written = m_written;
            d->bytesPerSecond = m_bytesPerSecond;
            d->output = m_output;
            d->sink = std::move(m_sink);
            d->since.start();
            m_draining.push_back(std::move(d));
            drain();
            if (!m_draining.empty())
                m_drainTimer.start();
        }
        m_sink.reset();
    }
    m_output = nullptr;
    m_pending.clear();
    m_source.close();
    if (m_loop) {
        m_loop->quit();
        m_loop = nullptr;
    }
}

void SoundCardPlayer::drain()
{
    // Stopping a sink can run the event loop, and this timer with it:
    // finished sinks leave the list first and are retired only after it.
    std::vector<std::unique_ptr<Draining>> done;
    for (auto it = m_draining.begin(); it != m_draining.end();) {
        Draining &d = **it;
        d.written += writeSome(*d.sink, d.output, d.rest, 0, [](qint64) { return QByteArray(); });
        const qint64 played = playedOf(*d.sink, d.bytesPerSecond, d.written);
        // Stopped only once it has taken everything, the silence after the
        // fade included: the position a sink reports can run tens of
        // milliseconds ahead of the sound.
        if ((d.rest.isEmpty() && played >= d.written) || d.since.elapsed() > kStallGraceMs ||
            d.sink->state() == QAudio::StoppedState) {
            done.push_back(std::move(*it));
            it = m_draining.erase(it);
        } else {
            ++it;
        }
    }
    if (m_draining.empty())
        m_drainTimer.stop();
    for (auto &d : done)
        retire(std::move(d->sink));
}

} // namespace VoiceBocxLib
