#pragma once

#include <QString>

namespace VoiceBocxLib
{

/// A voice-board plug-in is a shared object that exports this function
/// (extern "C", named kVoiceBoardPluginEntry); loading it calls the function,
/// which registers the plug-in's back ends with registerVoiceBoard().
using VoiceBoardPluginEntry = void (*)();
inline constexpr char kVoiceBoardPluginEntry[] = "vnorvak_register_voice_boards";

/// The environment variable that names another plug-in folder.
inline constexpr char kVoiceBoardPluginsVariable[] = "VNORVAK_VOICE_BOARD_PLUGINS";

/// The folder plug-ins are loaded from: the folder VNORVAK_VOICE_BOARD_PLUGINS
/// names when it is set, else "vnorvak/voice-boards" beside the telephony
/// library (in the build tree as once installed).
QString voiceBoardPluginFolder();

/// The file that holds the back end `name`: <folder>/libvnorvak_<name>.so;
/// empty for a name that is not a plain word (letters, digits, "_", "-").
QString voiceBoardPluginPath(const QString &name);

/// Loads the plug-in of back end `name`, which registers it. False when
/// there is none (`why` left empty) or it cannot be loaded (`why` says so).
bool loadVoiceBoardPlugin(const QString &name, QString &why);

} // namespace VoiceBocxLib
