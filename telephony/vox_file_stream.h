#pragma once

#include "telephony/vox_decoder.h"

#include <QString>

#include <memory>

namespace VoiceBocxLib
{

/// A message file decoded piece by piece as it is read: the file stays on
/// disk and only the pieces asked for are decoded, so memory does not grow
/// with the message's length and the first samples are ready at once.
/// Gives exactly the samples decodeVoxFile() gives for the same file.
class VoxFileStream
{
public:
    VoxFileStream();
    ~VoxFileStream();
    VoxFileStream(const VoxFileStream &) = delete;
    VoxFileStream &operator=(const VoxFileStream &) = delete;

    /// Opens the message file `path` (closing any file open before). Throws
    /// modVNQRN::Error, with nothing left open: 53 for a missing file, 75 for
    /// a folder or a file that cannot be read (70 when access is refused),
    /// 7 for a file larger than kMaxVoxBytes (checkVoxFileSize()).
    void open(const QString &path, int sampleRate = kVoxRate8k);
    void close();
    bool isOpen() const;

    int sampleRate() const;
    /// The samples the file holds when opened (two per byte).
    qint64 frames() const;
    /// The samples read or skipped so far.
    qint64 position() const;
    bool atEnd() const { return position() >= frames(); }

    /// Decodes up to `count` samples into `out`; returns how many (0 at the
    /// end, or when the file has become shorter than it was). Throws
    /// modVNQRN::Error 75 when the file cannot be read any more.
    qint64 read(qint16 *out, qint64 count);
    /// Decodes and drops up to `count` samples (each sample of ADPCM depends
    /// on all before it, so a position can only be reached by decoding up to
    /// it); returns how many.
    qint64 skip(qint64 count);

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace VoiceBocxLib
