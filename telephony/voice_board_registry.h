#pragma once

#include "voice_bocx.h"

#include <QString>

#include <functional>
#include <memory>

namespace VoiceBocxLib
{

/// Where a voice board takes its settings: section "VoiceBoard" of the
/// local settings file.
///
///     [VoiceBoard]
///     Driver=simulated      ; the line half: "none" (default), "simulated", or a
///                           ; plug-in's back end ("sip": voice_board_plugins.h)
///     WaveDevice=soundcard  ; the wave half: "none", "simulated" or "soundcard"
///                           ; (default: "simulated" with the simulated driver, else "soundcard")
///     TimeScale=1           ; simulated devices: real seconds per simulated second
///     Channels=4            ; simulated board: trunk channels (0 = no voice device)
///     AnswerSeconds=2       ; simulated board: rings before the telephone answers
struct VoiceBoardConfig {
    QString iniFile;    ///< the settings file the back end may read more keys from
    QString driver;     ///< the line back end's name, lower case
    QString waveDevice; ///< the wave device's name, lower case
    double timeScale = 1.0;
    /// When set, the line calls this telephone ("user@host[:port]" or
    /// "host[:port]") whatever number is dialled: a host's "--phone" option.
    QString phoneAddress;
};

inline constexpr char16_t kVoiceBoardSection[] = u"VoiceBoard";

/// Reads the section above from `iniFile`, with the defaults for missing keys.
VoiceBoardConfig readVoiceBoardConfig(const QString &iniFile);

using WaveDeviceFactory = std::function<std::unique_ptr<WaveDevice>(const VoiceBoardConfig &)>;
/// Builds a board around the wave device already created for it.
using VoiceBoardFactory = std::function<std::unique_ptr<VoiceBocx>(
    const VoiceBoardConfig &, std::unique_ptr<WaveDevice> wave)>;

/// Registers a back end by name (names match without regard to case).
/// "none" and "simulated" are built in; a later registration replaces one.
/// A name not registered is looked for as a plug-in (voice_board_plugins.h).
void registerVoiceBoard(const QString &name, VoiceBoardFactory factory);
void registerWaveDevice(const QString &name, WaveDeviceFactory factory);

/// Installs a factory that every createVoiceBoard() uses instead of the
/// named back ends (for tests); an empty function removes it.
void setVoiceBoardFactory(VoiceBoardFactory factory);

/// Creates the back end `config.driver` names (loading its plug-in when it
/// is one) around `wave`. Throws when the name is unknown or the back end
/// cannot start.
std::unique_ptr<VoiceBocx> createNamedVoiceBoard(const VoiceBoardConfig &config,
                                                 std::unique_ptr<WaveDevice> wave);

/// Creates the voice board the settings in `iniFile` name. A name that is
/// unknown, or a back end that throws while it starts, is written to the
/// error log and replaced by "none" (for the line half, for the wave half,
/// or both), so a board is always returned.
std::unique_ptr<VoiceBocx> createVoiceBoard(const QString &iniFile);

} // namespace VoiceBocxLib
