#include "telephony/vox_playback_device.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace VoiceBocxLib
{

namespace
{

constexpr qsizetype kChunkFrames = 4096;

qint64 framesOf(int sampleRate, qint64 ms)
{
    return qint64(sampleRate) * std::max<qint64>(ms, 0) / 1000;
}

} // namespace

VoxPlaybackDevice::VoxPlaybackDevice(QObject *parent) : QIODevice(parent) {}

VoxPlaybackDevice::~VoxPlaybackDevice() = default;

void VoxPlaybackDevice::start(const QString &path, int sampleRate, qint64 skipSeconds, int leadInMs,
                              int tailMs)
{
    close();
    m_failure.reset();
    m_stream.open(path, sampleRate);
    try {
        m_stream.skip(std::min(framesOf(sampleRate, skipSeconds * 1000), m_stream.frames()));
    } catch (...) {
        m_stream.close();
        throw;
    }
    m_fadeFrames = framesOf(sampleRate, kFadeMs);
    m_leadFrames = framesOf(sampleRate, leadInMs);
    m_tailFrames = framesOf(sampleRate, tailMs);
    m_startFrame = m_stream.position();
    m_endFrame = m_stream.frames();
    m_readFrames = 0;
    m_chunk.resize(kChunkFrames);
    // Unbuffered: a cut() must shape the very next sample read, not one
    // that QIODevice has already read ahead.
    QIODevice::open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

void VoxPlaybackDevice::close()
{
    m_stream.close();
    std::vector<qint16>().swap(m_chunk);
    QIODevice::close();
}

qint64 VoxPlaybackDevice::bytesAvailable() const
{
    const qint64 total = m_leadFrames + (m_endFrame - m_startFrame) + m_tailFrames;
    return std::max<qint64>(total - m_readFrames, 0) * 2 + QIODevice::bytesAvailable();
}

qint64 VoxPlaybackDevice::cut()
{
    const qint64 messageRead = m_readFrames - m_leadFrames;
    if (messageRead <= 0)
        m_endFrame = m_startFrame; // nothing of the message sounded yet: nothing will
    else if (messageRead < m_endFrame - m_startFrame)
        m_endFrame = std::min(m_endFrame, m_startFrame + messageRead + m_fadeFrames);
    return m_endFrame;
}

qint64 VoxPlaybackDevice::framesAt(qint64 bytes) const
{
    return m_startFrame +
           std::clamp<qint64>(bytes / 2 - m_leadFrames, 0, m_endFrame - m_startFrame);
}

double VoxPlaybackDevice::gainAt(qint64 frame) const
{
    const double steps = double(m_fadeFrames + 1);
    const double in = double(frame - m_startFrame + 1) / steps;
    const double out = double(m_endFrame - frame) / steps;
    return std::clamp(std::min(in, out), 0.0, 1.0);
}

qint64 VoxPlaybackDevice::readData(char *data, qint64 maxSize)
{
    const qint64 wanted = maxSize / 2;
    qint64 done = 0;
    while (done < wanted) {
        const qint64 messageFrames = m_endFrame - m_startFrame;
        const qint64 left = wanted - done;
        char *out = data + done * 2;
        qint64 n = 0;
        if (m_readFrames < m_leadFrames) {
            n = std::min(left, m_leadFrames - m_readFrames);
            std::memset(out, 0, size_t(n) * 2);
        } else if (m_readFrames < m_leadFrames + messageFrames) {
            const qint64 frame = m_startFrame + m_readFrames - m_leadFrames;
            const qint64 ask = std::min({left, m_endFrame - frame, qint64(m_chunk.size())});
            try {
                n = m_stream.read(m_chunk.data(), ask);
            } catch (const modVNQRN::Error &e) {
                m_failure = e;
                n = 0;
            }
            if (n < ask) {
                // The file ended early or failed: the message ends here.
                m_endFrame = frame + n;
                if (m_failure)
                    m_tailFrames = 0;
            }
            for (qint64 i = 0; i < n; ++i) {
                const qint64 f = frame + i;
                if (f - m_startFrame < m_fadeFrames || m_endFrame - f <= m_fadeFrames)
                    m_chunk[size_t(i)] = qint16(std::lround(m_chunk[size_t(i)] * gainAt(f)));
            }
            std::memcpy(out, m_chunk.data(), size_t(n) * 2);
        } else if (m_readFrames < m_leadFrames + messageFrames + m_tailFrames) {
            n = std::min(left, m_leadFrames + messageFrames + m_tailFrames - m_readFrames);
            std::memset(out, 0, size_t(n) * 2);
        } else {
            break;
        }
        m_readFrames += n;
        done += n;
    }
    return done * 2;
}

} // namespace VoiceBocxLib
