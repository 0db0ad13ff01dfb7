#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace VNOrvak
{

/// How the demo's messages reach the operator.
enum class DemoRoute {
    Auto,      ///< the sound card when this machine has an audio output, else the telephone
    SoundCard, ///< the workstation's sound card
    Telephone, ///< the simulated voice board and a telephone that answers
};

/// What the demo's messages sound like.
enum class DemoVoice {
    Auto,   ///< speech when espeak-ng and sox are installed, else tones
    Speech, ///< spoken by espeak-ng; an error when it is not installed
    Tone,   ///< beeps, as long as the speech would be
};

struct DemoOptions {
    QString folder; ///< where the installation goes; created when missing
    DemoRoute route = DemoRoute::Auto;
    DemoVoice voice = DemoVoice::Auto;
    /// The simulated devices' real seconds per simulated second (section
    /// "VoiceBoard", key "TimeScale"): below 1 for a quick tour.
    double timeScale = 1.0;
    /// The moment the messages are dated from; invalid: modVNQRN::appClock().
    QDateTime now;
};

/// What makeDemoInstallation() made. Folder paths end with "/".
struct DemoInstallation {
    QString folder;         ///< the demo folder
    QString appDataFolder;  ///< for VNORVAK_LOCAL_APPDATA
    QString machineFolder;  ///< for VNORVAK_MACHINE_DIR
    QString systemFolder;   ///< for VNORVAK_SYSTEM_DIR
    QString localIni;       ///< the local settings file QelLocal.ini
    QString profileIni;     ///< the workstation profile VntProfile.ini
    QString messagesFolder; ///< the shared messages folder
    bool soundCard = false; ///< messages play over the sound card
    int spoken = 0;         ///< messages made by the speech synthesizer
    int tones = 0;          ///< messages made of beeps
    QStringList notes;      ///< what did not go as asked (a tool missing or failing)
};

/// The name of the file that marks a folder as a demo installation.
inline constexpr char16_t kDemoMarkerFile[] = u"demo-installation.txt";

/// Makes a demo installation in `options.folder`: a workstation's local
/// folder with its settings file and profile, an installation folder, and a
/// messages folder with the dozen messages of demoMessages(), dated from
/// `options.now`. A folder that already holds a demo installation is made
/// afresh; any other folder that is not empty is refused, so nothing of the
/// user's is ever overwritten. Throws modVNQRN::Error naming the path when a
/// folder or file cannot be written.
DemoInstallation makeDemoInstallation(const DemoOptions &options);

/// The shell lines that point a workstation at the demo (export
/// VNORVAK_LOCAL_APPDATA=... and the two other folders).
QString demoEnvironmentScript(const DemoInstallation &demo);

} // namespace VNOrvak
