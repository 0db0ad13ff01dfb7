#include "demo_installation.h"

#include "demo_messages.h"
#include "message_voice.h"

#include "shared/clock.h"
#include "shared/error.h"

#include <QAudioDevice>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMediaDevices>
#include <QSaveFile>

#include <cerrno>

using modVNQRN::Error;

namespace VNOrvak
{

namespace
{

// The program name the demo is made for: its prefix "VN" chooses the
// application folder "VNT" and the profile section "VNaControl".
constexpr char16_t kApplicationFolder[] = u"VNT/";

void makeFolder(const QString &path)
{
    if (!QDir().mkpath(path))
        throw Error(modVNQRN::fileErrorNumber(errno), u"Cannot create the folder " + path);
}

void writeTextFile(const QString &path, const QString &text)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0 || !file.commit())
        throw Error(modVNQRN::fileErrorNumber(errno),
                    u"Cannot write " + path + u": " + file.errorString());
}

// Empties a folder that held an earlier demo; refuses any other folder with
// contents, since those could be somebody's real files.
void prepareFolder(const QString &folder)
{
    const QFileInfo info(folder);
    if (info.exists() && !info.isDir())
        throw Error(modVNQRN::errPathFileAccess, folder + u" is not a folder");
    const QDir dir(folder);
    if (info.exists() && !dir.isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)) {
        if (!QFileInfo(folder + kDemoMarkerFile).isFile())
            throw Error(modVNQRN::errFileExists,
                        folder + u" is not empty and holds no demo installation; "
                                 u"give a new or empty folder");
        for (const QString &entry :
             dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)) {
            const QString path = folder + entry;
            const bool removed = QFileInfo(path).isDir() && !QFileInfo(path).isSymLink()
                                     ? QDir(path).removeRecursively()
                                     : QFile::remove(path);
            if (!removed)
                throw Error(modVNQRN::errPathFileAccess,
                            u"Cannot remove " + path + u" of the earlier demo");
        }
    }
    makeFolder(folder);
}

bool soundCardPresent()
{
    // Without an audio server Qt warns on standard error; no outputs is the
    // answer we are after, so the warning is kept out of the demo's output.
    static QtMessageHandler previous = nullptr;
    previous = qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext &context, const QString &text) {
            if (!text.startsWith(u"PulseAudioService:"))
                previous(type, context, text);
        });
    const bool present = !QMediaDevices::audioOutputs().isEmpty();
    qInstallMessageHandler(previous);
    return present;
}

QString localSettings(const DemoInstallation &demo, const QString &installFolder, double timeScale)
{
    return u"; Local settings of the VN-Orvak demo workstation.\n"
           u"[Zuzidivuz]\n"
           u"VnPath=" +
           installFolder +
           u"\n"
           u"ErrorLog=1\n"
           u"SoundCard=" +
           (demo.soundCard ? u"1" : u"0") +
           u"\n"
           u"\n"
           u"[Messages]\n"
           u"MsgTimer=5\n"
           u"RenameOnStop=1\n"
           u"Msgport=1\n"
           u"ConnectString=555-0100\n"
           u"\n"
           u"[VoiceBoard]\n"
           u"Driver=simulated\n"
           u"WaveDevice=" +
           (demo.soundCard ? u"soundcard" : u"simulated") +
           u"\n"
           u"TimeScale=" +
           QString::number(timeScale) +
           u"\n"
           u"Channels=4\n"
           u"AnswerSeconds=2\n";
}

// A message's time: `minutesOld` before now, except that a message of the
// last day stays today even when the demo is made just after midnight.
QDateTime messageTime(const QDateTime &now, int minutesOld, int index)
{
    QDateTime when = now.addSecs(-60 * qint64(minutesOld));
    if (minutesOld < 24 * 60 && when.date() != now.date())
        when = QDateTime(now.date(), QTime(0, 0)).addSecs(index);
    return when;
}

void setModified(const QString &path, const QDateTime &when)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly) ||
        !file.setFileTime(when, QFileDevice::FileModificationTime))
        throw Error(modVNQRN::errPathFileAccess,
                    u"Cannot date " + path + u": " + file.errorString());
}

// Speech lasts about this long, so a tone stands in for it in kind.
double spokenSeconds(const QString &text)
{
    return std::max(2.0, double(text.split(u' ').size()) / 2.6);
}

void makeMessages(DemoInstallation &demo, const DemoOptions &options, const QString &workFolder)
{
    bool speech = options.voice != DemoVoice::Tone;
    if (speech && !speechToolsAvailable()) {
        if (options.voice == DemoVoice::Speech)
            throw Error(modVNQRN::errFileNotFound,
                        QStringLiteral("Spoken messages need espeak-ng and sox on the PATH"));
        demo.notes << QStringLiteral("espeak-ng or sox is not installed: the messages are tones");
        speech = false;
    }
    const QDateTime now = options.now.isValid() ? options.now : modVNQRN::appClock().now();
    int index = 0;
    for (const DemoMessage &message : demoMessages()) {
        const QString name = QString::fromLatin1(message.name);
        const QString path = demo.messagesFolder + name + u".vox";
        const QString text = QString::fromUtf8(message.text);
        bool spoken = false;
        if (speech) {
            try {
                writeSpokenMessage(path, text, QString::fromLatin1(message.voice), workFolder);
                spoken = true;
            } catch (const Error &e) {
                demo.notes << name + u": " + e.description() + u"; a tone instead";
            }
        }
        if (!spoken)
            writeToneMessage(path, spokenSeconds(text), 440 + 110 * (index % 4));
        setModified(path, messageTime(now, message.minutesOld, index));
        ++(spoken ? demo.spoken : demo.tones);
        ++index;
    }
}

} // namespace

DemoInstallation makeDemoInstallation(const DemoOptions &options)
{
    if (options.folder.isEmpty())
        throw Error(modVNQRN::errBadFileName, QStringLiteral("No folder given for the demo"));
    DemoInstallation demo;
    demo.folder = QDir::cleanPath(QDir().absoluteFilePath(options.folder)) + u'/';
    prepareFolder(demo.folder);
    writeTextFile(demo.folder + kDemoMarkerFile,
                  QStringLiteral("A VN-Orvak demo installation. Making a demo again in this "
                                 "folder replaces everything in it.\n"));

    demo.appDataFolder = demo.folder + u"appdata/";
    demo.machineFolder = demo.folder + u"machine/";
    demo.systemFolder = demo.folder + u"system/";
    const QString localFolder = demo.appDataFolder + u"Qrn/Vantel/";
    const QString installFolder = demo.folder + u"install/";
    demo.localIni = localFolder + u"QelLocal.ini";
    demo.profileIni = localFolder + u"VntProfile.ini";
    demo.messagesFolder = installFolder + kApplicationFolder + u"Data/messages/";
    const QString workFolder = demo.folder + u"work";
    for (const QString &folder :
         {localFolder, demo.machineFolder, demo.systemFolder, demo.messagesFolder, workFolder})
        makeFolder(folder);

    demo.soundCard = options.route == DemoRoute::SoundCard ||
                     (options.route == DemoRoute::Auto && soundCardPresent());
    writeTextFile(demo.localIni, localSettings(demo, installFolder, options.timeScale));
    writeTextFile(demo.profileIni, QStringLiteral("[VNaControl]\nDataDirectory=Data\n"));
    makeMessages(demo, options, workFolder);
    QDir(workFolder).removeRecursively();
    writeTextFile(demo.folder + u"env.sh", demoEnvironmentScript(demo));
    return demo;
}

QString demoEnvironmentScript(const DemoInstallation &demo)
{
    const auto quoted = [](QString path) -> QString {
        return u'\'' + path.replace(u'\'', QStringLiteral("'\\''")) + u'\'';
    };
    return u"# Points VN-Orvak programs at this demo installation: . " +
           quoted(demo.folder + u"env.sh") +
           u"\n"
           u"export VNORVAK_LOCAL_APPDATA=" +
           quoted(demo.appDataFolder) + u"\nexport VNORVAK_MACHINE_DIR=" +
           quoted(demo.machineFolder) + u"\nexport VNORVAK_SYSTEM_DIR=" +
           quoted(demo.systemFolder) + u'\n';
}

} // namespace VNOrvak
