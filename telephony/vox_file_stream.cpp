#include "telephony/vox_file_stream.h"

#include "shared/error.h"

#include <QDir>
#include <QFile>

#include <sndfile.h>

#include <algorithm>
#include <array>

using modVNQRN::Error;

namespace VoiceBocxLib
{

struct VoxFileStream::Private {
    QFile file;
    qint64 length = 0; // bytes, as when opened
    SNDFILE *snd = nullptr;
    int sampleRate = kVoxRate8k;
    qint64 frames = 0;
    qint64 position = 0;
    bool readFailed = false;
    // libsndfile decodes whole bytes: asked for one sample of a byte it drops
    // the other. Odd requests therefore take two and keep the second here.
    qint16 carry = 0;
    bool hasCarry = false;

    // libsndfile reads through these, so the file is read with Qt and a
    // failing read is seen here rather than taken for the end of the file.
    static sf_count_t length_(void *user) { return static_cast<Private *>(user)->length; }
    static sf_count_t seek(sf_count_t offset, int whence, void *user)
    {
        auto *p = static_cast<Private *>(user);
        const sf_count_t base = whence == SEEK_CUR   ? p->file.pos()
                                : whence == SEEK_END ? p->length
                                                     : 0;
        p->file.seek(std::max<sf_count_t>(0, base + offset));
        return p->file.pos();
    }
    static sf_count_t read(void *ptr, sf_count_t count, void *user)
    {
        auto *p = static_cast<Private *>(user);
        const qint64 n = p->file.read(static_cast<char *>(ptr), count);
        if (n < 0) {
            p->readFailed = true;
            return 0;
        }
        return n;
    }
    static sf_count_t write(const void *, sf_count_t, void *) { return 0; }
    static sf_count_t tell(void *user) { return static_cast<Private *>(user)->file.pos(); }

    void close()
    {
        if (snd)
            sf_close(snd);
        snd = nullptr;
        file.close();
        length = frames = position = 0;
        readFailed = false;
        hasCarry = false;
    }
};

VoxFileStream::VoxFileStream() : d(std::make_unique<Private>()) {}

VoxFileStream::~VoxFileStream()
{
    d->close();
}

void VoxFileStream::open(const QString &path, int sampleRate)
{
    d->close();
    openVoxFile(d->file, path);
    d->length = d->file.size();
    d->sampleRate = sampleRate;
    // libsndfile refuses an empty raw file; it is simply no samples.
    if (d->length == 0)
        return;
    SF_VIRTUAL_IO io{Private::length_, Private::seek, Private::read, Private::write, Private::tell};
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = 1;
    info.format = SF_FORMAT_RAW | SF_FORMAT_VOX_ADPCM;
    d->snd = sf_open_virtual(&io, SFM_READ, &info, d.get());
    if (!d->snd) {
        const QString why = QString::fromUtf8(sf_strerror(nullptr));
        d->close();
        throw Error(modVNQRN::errUnexpected, QStringLiteral("VOX codec failed: ") + why);
    }
    d->frames = d->length * 2;
}

void VoxFileStream::close()
{
    d->close();
}

bool VoxFileStream::isOpen() const
{
    return d->file.isOpen();
}

int VoxFileStream::sampleRate() const
{
    return d->sampleRate;
}

qint64 VoxFileStream::frames() const
{
    return d->frames;
}

qint64 VoxFileStream::position() const
{
    return d->position;
}

qint64 VoxFileStream::read(qint16 *out, qint64 count)
{
    count = std::min(count, d->frames - d->position);
    if (!d->snd || count <= 0)
        return 0;
    qint64 n = 0;
    if (d->hasCarry) {
        out[n++] = d->carry;
        d->hasCarry = false;
    }
    const auto decode = [this](qint16 *to, qint64 frames) {
        const sf_count_t got = sf_readf_short(d->snd, to, frames);
        if (d->readFailed)
            throw Error(modVNQRN::errPathFileAccess,
                        QStringLiteral("Cannot read ") +
                            QDir::toNativeSeparators(d->file.fileName()) + QStringLiteral(": ") +
                            d->file.errorString());
        return qint64(std::max<sf_count_t>(got, 0));
    };
    const qint64 even = (count - n) & ~qint64(1);
    if (even > 0)
        n += decode(out + n, even);
    if (n == count - 1) {
        qint16 pair[2];
        const qint64 got = decode(pair, 2);
        if (got > 0)
            out[n++] = pair[0];
        if (got > 1) {
            d->carry = pair[1];
            d->hasCarry = true;
        }
    }
    d->position += n;
    // A file cut short while it plays simply ends where its bytes end.
    if (n < count)
        d->frames = d->position;
    return n;
}

qint64 VoxFileStream::skip(qint64 count)
{
    std::array<qint16, 4096> scratch;
    qint64 done = 0;
    while (done < count) {
        const qint64 n = read(scratch.data(), std::min<qint64>(count - done, scratch.size()));
        if (n == 0)
            break;
        done += n;
    }
    return done;
}

} // namespace VoiceBocxLib
