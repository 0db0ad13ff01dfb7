#include "telephony/vox_decoder.h"

#include "shared/error.h"
#include "shared/profile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <sndfile.h>

#include <algorithm>
#include <cstring>

using modVNQRN::Error;

namespace VoiceBocxLib
{

namespace
{

// libsndfile reads and writes through these callbacks, so file access stays
// with Qt (its errors become our error numbers) and memory never leaves us.
struct MemoryFile {
    QByteArray bytes;
    sf_count_t position = 0;
};

sf_count_t memLength(void *user)
{
    return static_cast<MemoryFile *>(user)->bytes.size();
}

sf_count_t memSeek(sf_count_t offset, int whence, void *user)
{
    auto *f = static_cast<MemoryFile *>(user);
    sf_count_t base = whence == SEEK_CUR ? f->position : whence == SEEK_END ? f->bytes.size() : 0;
    f->position = std::max<sf_count_t>(0, base + offset);
    return f->position;
}

sf_count_t memRead(void *ptr, sf_count_t count, void *user)
{
    auto *f = static_cast<MemoryFile *>(user);
    const sf_count_t n = std::clamp<sf_count_t>(f->bytes.size() - f->position, 0, count);
    if (n > 0)
        std::memcpy(ptr, f->bytes.constData() + f->position, size_t(n));
    f->position += n;
    return n;
}

sf_count_t memWrite(const void *ptr, sf_count_t count, void *user)
{
    auto *f = static_cast<MemoryFile *>(user);
    const sf_count_t end = f->position + count;
    if (end > f->bytes.size())
        f->bytes.resize(qsizetype(end));
    std::memcpy(f->bytes.data() + f->position, ptr, size_t(count));
    f->position = end;
    return count;
}

sf_count_t memTell(void *user)
{
    return static_cast<MemoryFile *>(user)->position;
}

SF_VIRTUAL_IO memoryIo()
{
    return {memLength, memSeek, memRead, memWrite, memTell};
}

SF_INFO voxInfo(int sampleRate)
{
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = 1;
    info.format = SF_FORMAT_RAW | SF_FORMAT_VOX_ADPCM;
    return info;
}

Error codecError(const char *what)
{
    return Error(modVNQRN::errUnexpected,
                 QStringLiteral("VOX codec failed: ") + QString::fromUtf8(what));
}

} // namespace

int voxRateSetting(const QString &iniFile)
{
    const qint32 rate = modVNQRN::ReadProfileInt(QStringLiteral("VoiceBoard"),
                                                 QStringLiteral("VoxRate"), kVoxRate8k, iniFile);
    return rate == kVoxRate6k ? kVoxRate6k : kVoxRate8k;
}

void checkVoxFileSize(const QString &path)
{
    const QFileInfo fi(path);
    if (fi.isFile() && fi.size() > kMaxVoxBytes)
        throw Error(modVNQRN::errOutOfMemory,
                    QStringLiteral("Message file too large to play: %1 (%2 bytes; at most %3)")
                        .arg(QDir::toNativeSeparators(path))
                        .arg(fi.size())
                        .arg(kMaxVoxBytes));
}

PcmAudio decodeVoxBytes(const QByteArray &vox, int sampleRate)
{
    if (vox.size() > kMaxVoxBytes)
        throw Error(modVNQRN::errOutOfMemory,
                    QStringLiteral("Message file too large to play (%1 bytes)").arg(vox.size()));
    PcmAudio audio;
    audio.sampleRate = sampleRate;
    if (vox.isEmpty())
        return audio; // libsndfile refuses an empty raw file; it is simply silence

    MemoryFile file{vox, 0};
    SF_VIRTUAL_IO io = memoryIo();
    SF_INFO info = voxInfo(sampleRate);
    SNDFILE *snd = sf_open_virtual(&io, SFM_READ, &info, &file);
    if (!snd)
        throw codecError(sf_strerror(nullptr));
    audio.samples.resize(qsizetype(vox.size()) * 2);
    const sf_count_t got = sf_readf_short(snd, audio.samples.data(), audio.samples.size());
    sf_close(snd);
    audio.samples.resize(qsizetype(std::max<sf_count_t>(got, 0)));
    return audio;
}

void openVoxFile(QFile &file, const QString &path)
{
    const QFileInfo fi(path);
    if (!fi.exists())
        throw Error(modVNQRN::errFileNotFound,
                    QStringLiteral("File not found: ") + QDir::toNativeSeparators(path));
    if (!fi.isFile())
        throw Error(modVNQRN::errPathFileAccess,
                    QStringLiteral("Not a message file: ") + QDir::toNativeSeparators(path));
    checkVoxFileSize(path);
    file.setFileName(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Error(file.error() == QFileDevice::PermissionsError ? modVNQRN::errPermissionDenied
                                                                  : modVNQRN::errPathFileAccess,
                    QStringLiteral("Cannot read ") + QDir::toNativeSeparators(path) +
                        QStringLiteral(": ") + file.errorString());
}

PcmAudio decodeVoxFile(const QString &path, int sampleRate)
{
    QFile f;
    openVoxFile(f, path);
    // Read what the file holds: a read of the largest size allowed would
    // reserve 64 MiB for every message played.
    const QByteArray bytes = f.read(std::min(f.size(), kMaxVoxBytes));
    if (f.error() != QFileDevice::NoError)
        throw Error(modVNQRN::errPathFileAccess, QStringLiteral("Cannot read ") +
                                                     QDir::toNativeSeparators(path) +
                                                     QStringLiteral(": ") + f.errorString());
    return decodeVoxBytes(bytes, sampleRate);
}

QByteArray encodeVox(std::span<const qint16> samples, int sampleRate)
{
    if (samples.empty())
        return {};
    MemoryFile file;
    SF_VIRTUAL_IO io = memoryIo();
    SF_INFO info = voxInfo(sampleRate);
    SNDFILE *snd = sf_open_virtual(&io, SFM_WRITE, &info, &file);
    if (!snd)
        throw codecError(sf_strerror(nullptr));
    // Two samples per byte: an odd count gets one silent sample more.
    QVector<qint16> even(samples.begin(), samples.end());
    if (even.size() % 2 != 0)
        even.append(0);
    const sf_count_t written = sf_writef_short(snd, even.constData(), even.size());
    sf_close(snd);
    if (written != even.size())
        throw codecError("short write");
    return file.bytes;
}

void writeVoxFile(const QString &path, std::span<const qint16> samples, int sampleRate)
{
    const QByteArray bytes = encodeVox(samples, sampleRate);
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.commit())
        throw Error(f.error() == QFileDevice::ResourceError ? modVNQRN::errDiskFull
                                                            : modVNQRN::errPathFileAccess,
                    QStringLiteral("Cannot write ") + QDir::toNativeSeparators(path) +
                        QStringLiteral(": ") + f.errorString());
}

} // namespace VoiceBocxLib
