#include "voice_board_plugins.h"

#include <QFileInfo>
#include <QLibrary>
#include <QRegularExpression>

#include <dlfcn.h>

namespace VoiceBocxLib
{

namespace
{

// An address inside this library, to find the file it was loaded from.
const char anchor = 0;

} // namespace

QString voiceBoardPluginFolder()
{
    const QString chosen = qEnvironmentVariable(kVoiceBoardPluginsVariable);
    if (!chosen.isEmpty())
        return chosen;
    Dl_info info{};
    if (dladdr(&anchor, &info) == 0 || !info.dli_fname)
        return {};
    return QFileInfo(QString::fromLocal8Bit(info.dli_fname)).absolutePath() +
           u"/vnorvak/voice-boards";
}

QString voiceBoardPluginPath(const QString &name)
{
    // The name comes from a settings file: never let it reach another folder.
    static const QRegularExpression plainWord(QStringLiteral("^[A-Za-z0-9_-]+$"));
    if (!plainWord.match(name).hasMatch())
        return {};
    return voiceBoardPluginFolder() + u"/libvnorvak_" + name + u".so";
}

bool loadVoiceBoardPlugin(const QString &name, QString &why)
{
    why.clear();
    const QString path = voiceBoardPluginPath(name);
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return false;
    // Never unloaded: the back ends it registered live as long as the process.
    QLibrary library(path);
    if (!library.load()) {
        why = u"plug-in cannot be loaded: " + library.errorString();
        return false;
    }
    const auto entry =
        reinterpret_cast<VoiceBoardPluginEntry>(library.resolve(kVoiceBoardPluginEntry));
    if (!entry) {
        why = u"not a voice-board plug-in: " + path;
        return false;
    }
    entry();
    return true;
}

} // namespace VoiceBocxLib
