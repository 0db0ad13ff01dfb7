#include "installation.h"

#include "command.h"

#include "control/directory_reader.h"
#include "control/message_listing.h"
#include "control/message_name.h"
#include "shared/modVNQRN.h"
#include "telephony/vox_decoder.h"

#include <QDir>
#include <QFileInfo>

#include <cstring>

using namespace modVNQRN;

namespace
{

// Takes the box a control shows when no settings file names the
// installation: vnmsg says so itself, with its exit code.
class SilentPrompter final : public Prompter
{
public:
    void messageBox(const QString &, MsgBoxIcon, const QString &) override {}
    void setMousePointer(MousePointer) override {}
};

// Whether `folder` holds a message file, read only as far as the first one.
bool holdsAMessage(const QString &folder)
{
    VNOrvak::FileSystemDirectoryReader reader;
    if (!reader.open(QFile::encodeName(folder)))
        return false; // the listing says why
    const char *name = nullptr;
    VNOrvak::DirectoryReader::Kind kind = VNOrvak::DirectoryReader::Kind::Other;
    while (reader.next(name, kind)) {
        if (VNOrvak::IsMessageFileName(name, std::strlen(name)) &&
            (kind == VNOrvak::DirectoryReader::Kind::File || reader.status(name).regular))
            return true;
    }
    return false;
}

} // namespace

Installation findInstallation(const QString &program)
{
    Installation found;
    SilentPrompter silent;
    setAppPrompter(&silent);
    try {
        InitEnvironment(program.left(2));
        // Without a root the search ends at the user's own settings file,
        // which names none.
        found.found = !ReadProfileString(QStringLiteral("Zuzidivuz"), QStringLiteral("VnPath"),
                                         QString(), gsLocalIni)
                           .isEmpty();
    } catch (const Error &) {
    }
    setAppPrompter(nullptr);
    if (found.found) {
        found.dataPath = gsDataPath;
        found.messagesFolder = gsDataPath + u"messages/";
        found.voxRate = VoiceBocxLib::voxRateSetting(gsLocalIni);
    }
    return found;
}

int messagesFolderFor(const QString &command, const QString &given,
                      const Installation &installation, QString &folder)
{
    if (given.isEmpty() && !installation.found) {
        printError(command + u": no installation found: no settings file names one (see vnmsg "
                             u"env); give the messages folder");
        return kExitMissing;
    }
    folder = given.isEmpty() ? installation.messagesFolder : withTrailingSeparator(given);
    // Without the "/", so that a file given as the folder is seen as one.
    const QFileInfo info(folder.size() > 1 ? folder.chopped(1) : folder);
    if (!info.exists()) {
        printError(command + u": the messages folder " + folder + u" does not exist");
        return kExitMissing;
    }
    if (!info.isDir()) {
        printError(command + u": " + info.filePath() + u" is not a folder");
        return kExitMissing;
    }
    if (!QDir(folder).isReadable()) {
        printError(command + u": cannot read " + folder + u": permission denied");
        return kExitFailed;
    }
    // The bare mount point of a share is a folder, but the messages are not
    // there. A folder with a message in it is mounted: its first names tell,
    // where listing it all would double what the command itself costs.
    try {
        VNOrvak::MessageFolderReader reader;
        if (holdsAMessage(folder)) {
            reader.noteMessagesSeen(folder);
            return kExitOk;
        }
        if (reader.read(folder).notMounted) {
            printError(command + u": the messages folder " + folder +
                       u" is not available: it is empty and is not on the file system its "
                       u"messages were seen on (a share that is not mounted)");
            return kExitMissing;
        }
    } catch (const Error &e) {
        printError(command + u": cannot read " + folder + u": " + e.description());
        return kExitFailed;
    }
    return kExitOk;
}

QString messageNameOf(const QString &word)
{
    const QString name = word.endsWith(u".vox") ? word.chopped(4) : word;
    return VNOrvak::IsMessageFileName(QString(name + u".vox")) ? name : QString();
}

QString messageLength(qint64 bytes, int rate)
{
    const qint64 seconds = rate > 0 ? (bytes * 2 + rate / 2) / rate : 0;
    return QString::number(seconds / 60) + u':' +
           QString::number(seconds % 60).rightJustified(2, u'0');
}

QByteArray jsonString(const QString &text)
{
    QByteArray out = "\"";
    for (const char c : text.toUtf8()) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            out += QByteArrayLiteral("\\u00") + QByteArray::number(u, 16).rightJustified(2, '0');
        } else {
            out += c;
        }
    }
    return out + '"';
}
