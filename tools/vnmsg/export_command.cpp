#include "command.h"
#include "installation.h"

#include "shared/error.h"
#include "telephony/sound_card_player.h"
#include "telephony/vox_decoder.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <sndfile.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

using namespace Qt::StringLiterals;

using modVNQRN::Error;

namespace
{

// The message file `word` names in the folder the command works on; 0, or
// the exit code after a message on standard error.
int messageFile(const VnmsgArgs &args, Installation &installation, QString &path)
{
    installation = findInstallation();
    QString folder;
    if (const int rc = messagesFolderFor(args.command, args.folder, installation, folder))
        return rc;
    const QString &word = args.names.value(0);
    const QString name = messageNameOf(word);
    if (name.isEmpty()) {
        printError(args.command + u": " + word + u" is not a message name");
        return kExitFailed;
    }
    path = folder + name + u".vox";
    return kExitOk;
}

// Writes `samples` as a 16-bit mono WAV file `out`, never replacing a file:
// written under a name of its own first, then given its name only if free.
QString writeWav(const QString &out, const VoiceBocxLib::PcmAudio &audio)
{
    if (QFileInfo::exists(out) || QFileInfo(out).isSymLink())
        return out + u" exists; it is not replaced";
    const QByteArray target = QFile::encodeName(out);
    const QByteArray part =
        target + ".part-" + QByteArray::number(QCoreApplication::applicationPid());
    SF_INFO info{};
    info.samplerate = audio.sampleRate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE *file = sf_open(part.constData(), SFM_WRITE, &info);
    if (!file)
        return u"cannot write " + out + u": " + QString::fromLocal8Bit(sf_strerror(nullptr));
    const sf_count_t frames = audio.samples.size();
    const bool written = sf_writef_short(file, audio.samples.constData(), frames) == frames;
    const QString writeError = QString::fromLocal8Bit(sf_strerror(file));
    const bool closed = sf_close(file) == 0;
    if (!written || !closed) {
        std::remove(part.constData());
        return u"cannot write " + out + u": " + writeError;
    }
    // A hard link is refused when the name is taken: nothing is replaced.
    const int linked = ::link(part.constData(), target.constData()) == 0 ? 0 : errno;
    std::remove(part.constData());
    if (linked != 0)
        return u"cannot write " + out + u": " +
               (linked == EEXIST ? u"it exists; it is not replaced"_s
                                 : QString::fromLocal8Bit(std::strerror(linked)));
    return QString();
}

} // namespace

int runExportCommand(const VnmsgArgs &args)
{
    Installation installation;
    QString path;
    if (const int rc = messageFile(args, installation, path))
        return rc;
    VoiceBocxLib::PcmAudio audio;
    try {
        audio = VoiceBocxLib::decodeVoxFile(path, installation.voxRate);
    } catch (const Error &e) {
        printError(u"export: " + e.description());
        return kExitFailed;
    }
    if (const QString failure = writeWav(args.wavFile, audio); !failure.isEmpty()) {
        printError(u"export: " + failure);
        return kExitFailed;
    }
    printLine(u"Wrote " + args.wavFile + u": " + QString::number(audio.samples.size()) +
              u" samples at " + QString::number(audio.sampleRate) + u" Hz (" +
              messageLength(audio.samples.size() / 2, audio.sampleRate) + u')');
    return kExitOk;
}

int runPlayCommand(const VnmsgArgs &args)
{
    Installation installation;
    QString path;
    if (const int rc = messageFile(args, installation, path))
        return rc;
    VoiceBocxLib::SoundCardPlayer player;
    player.setVoxRate(installation.voxRate);
    try {
        player.play(path);
    } catch (const Error &e) {
        printError(u"play: " + e.description());
        return kExitFailed;
    }
    printLine(
        u"Played " + path + u" (" +
        messageLength(player.elapsedMs() * installation.voxRate / 2000, installation.voxRate) +
        u')');
    return kExitOk;
}
