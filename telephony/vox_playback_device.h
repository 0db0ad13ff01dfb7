#pragma once

#include "telephony/vox_file_stream.h"

#include "shared/error.h"

#include <QIODevice>

#include <optional>
#include <vector>

namespace VoiceBocxLib
{

/// What the sound card plays for one message, as 16-bit mono PCM read from a
/// sequential QIODevice: a short silence, the message decoded from its file
/// as it is read, then silence. Every edge of the message's sound is ramped
/// over kFadeMs (its start, its end, and a cut()), so the sound never jumps
/// from silence to full level or back: no click.
///
/// Positions are counted in samples of the message from its beginning.
class VoxPlaybackDevice final : public QIODevice
{
    Q_OBJECT
public:
    /// Length of every fade in and out.
    static constexpr int kFadeMs = 5;

    explicit VoxPlaybackDevice(QObject *parent = nullptr);
    ~VoxPlaybackDevice() override;

    /// Opens the message file `path` at `sampleRate` and decodes up to
    /// `skipSeconds` (0 or less: the beginning; past the end: nothing of the
    /// message is played). `leadInMs` of silence come first, `tailMs` after
    /// the message. Throws what VoxFileStream::open() throws; the device is
    /// then closed and nothing was read.
    void start(const QString &path, int sampleRate, qint64 skipSeconds, int leadInMs, int tailMs);
    void close() override;

    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override;

    /// Ends the message kFadeMs after what has been read so far: the fade
    /// down starts with the next sample read. Returns the message position at
    /// the end of the fade. Once the message has ended it changes nothing.
    qint64 cut();

    int sampleRate() const { return m_stream.sampleRate(); }
    /// The message position the sound starts at (the skip).
    qint64 startFrame() const { return m_startFrame; }
    /// The message position the sound ends at: the end of the file, or of
    /// the fade after a cut().
    qint64 endFrame() const { return m_endFrame; }
    /// Device bytes before the first message sample.
    qint64 leadInBytes() const { return m_leadFrames * 2; }
    /// Device bytes up to just past the last message sample.
    qint64 messageEndBytes() const { return (m_leadFrames + m_endFrame - m_startFrame) * 2; }
    /// The message position reached once `bytes` of the device have been played.
    qint64 framesAt(qint64 bytes) const;

    /// Why reading stopped early: the file could not be read any more. The
    /// device then reads as at its end.
    const std::optional<modVNQRN::Error> &failure() const { return m_failure; }

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    // The ramp's level (0 to 1) at message position `frame`.
    double gainAt(qint64 frame) const;

    VoxFileStream m_stream;
    std::vector<qint16> m_chunk;
    qint64 m_leadFrames = 0;
    qint64 m_tailFrames = 0;
    qint64 m_fadeFrames = 0;
    qint64 m_startFrame = 0;
    qint64 m_endFrame = 0;
    qint64 m_readFrames = 0; // device frames read, silence included
    std::optional<modVNQRN::Error> m_failure;
};

} // namespace VoiceBocxLib
