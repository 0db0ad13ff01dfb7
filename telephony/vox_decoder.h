#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QVector>

#include <span>

namespace VoiceBocxLib
{

/// Message audio: raw 4-bit VOX ADPCM, mono, no header. A file's bytes say
/// nothing about its sample rate, so the rate is a setting of the workstation:
/// section "VoiceBoard", key "VoxRate" of the local settings file, 8000 (the
/// default) or 6000. Every byte holds two samples, so a message lasts
/// bytes * 2 / rate seconds.
inline constexpr int kVoxRate8k = 8000;
inline constexpr int kVoxRate6k = 6000;

/// The largest message file any route plays (about 4.6 hours at 8000 Hz):
/// a larger file is not a voice message, and a route that decodes a whole
/// message into memory needs a bound.
inline constexpr qint64 kMaxVoxBytes = 64 * 1024 * 1024;

/// Decoded message audio: 16-bit signed mono samples at `sampleRate`.
struct PcmAudio {
    QVector<qint16> samples;
    int sampleRate = kVoxRate8k;

    /// Length in milliseconds.
    qint64 durationMs() const
    {
        return sampleRate > 0 ? qint64(samples.size()) * 1000 / sampleRate : 0;
    }
};

/// The rate "VoxRate" in section "VoiceBoard" of `iniFile` gives: 6000 when it
/// says 6000, otherwise (missing, 8000 or any other value) 8000.
int voxRateSetting(const QString &iniFile);

/// Throws modVNQRN::Error 7 "Message file too large to play" when the file
/// `path` is larger than kMaxVoxBytes. A missing file passes: whoever opens
/// it reports that.
void checkVoxFileSize(const QString &path);

/// Opens the message file `path` for reading into `file`. Throws
/// modVNQRN::Error: "File not found" (53) for a missing file, "Path/File
/// access error" (75) for a folder or a file that cannot be read (70 when
/// access is refused), and the error of checkVoxFileSize().
void openVoxFile(QFile &file, const QString &path);

/// Decodes VOX ADPCM bytes. Any bytes are valid VOX data: an empty array gives
/// no samples, text or other non-audio data decodes to noise of its length.
/// Throws modVNQRN::Error when the decoder cannot run or the data exceeds
/// kMaxVoxBytes.
PcmAudio decodeVoxBytes(const QByteArray &vox, int sampleRate = kVoxRate8k);

/// Reads and decodes the whole message file `path` into memory (the sound
/// card decodes as it plays instead: vox_file_stream.h). Throws
/// modVNQRN::Error: those of openVoxFile(), 75 when reading fails, and those
/// of decodeVoxBytes().
PcmAudio decodeVoxFile(const QString &path, int sampleRate = kVoxRate8k);

/// Encodes 16-bit samples as VOX ADPCM (an odd sample count is padded with one
/// silent sample). Throws modVNQRN::Error when the encoder cannot run.
QByteArray encodeVox(std::span<const qint16> samples, int sampleRate = kVoxRate8k);

/// Writes encodeVox(samples) to `path` in one step. Throws modVNQRN::Error
/// when the file cannot be written; an existing file is then left as it was.
void writeVoxFile(const QString &path, std::span<const qint16> samples,
                  int sampleRate = kVoxRate8k);

} // namespace VoiceBocxLib
