// The SIP line as a voice-board plug-in: registers "sip" when the registry
// loads it (Driver=sip in section "VoiceBoard", or a host's --phone option).

#include "sip_settings.h"
#include "sip_voice_board.h"

#include "telephony/voice_board_plugins.h"
#include "telephony/voice_board_registry.h"

#include <type_traits>

using namespace VoiceBocxLib;

namespace
{

std::unique_ptr<VoiceBocx> createSipLine(const VoiceBoardConfig &config,
                                         std::unique_ptr<WaveDevice> wave)
{
    SipSettings settings = readSipSettings(config.iniFile);
    if (config.phoneAddress.isEmpty()) {
        settings.timeScale = config.timeScale;
        checkConnectString(config.iniFile, settings);
    } else {
        // A telephone the host names: the connect string and the simulated
        // devices' time scale (demo settings) do not apply to it.
        settings.phoneAddress = config.phoneAddress;
        const QString target = sipDialTarget(config.phoneAddress, SipSettings());
        const bool loopback = target.contains(u"@127.") || target.startsWith(u"sip:127.") ||
                              target.contains(u"localhost");
        if (loopback && settings.localAddress.isEmpty())
            settings.localAddress = QStringLiteral("127.0.0.1");
    }
    return std::make_unique<SipVoiceBoard>(settings, std::move(wave));
}

} // namespace

extern "C" Q_DECL_EXPORT void vnorvak_register_voice_boards()
{
    static_assert(std::is_same_v<decltype(&vnorvak_register_voice_boards), VoiceBoardPluginEntry>);
    registerVoiceBoard(QStringLiteral("sip"), createSipLine);
}
