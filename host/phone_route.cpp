#include "phone_route.h"

#include "shared/error.h"
#include "shared/error_log.h"
#include "telephony/null_voice_board.h"
#include "telephony/sip/sip_settings.h"
#include "telephony/sip/sip_voice_board.h"
#include "telephony/voice_board_registry.h"

using namespace VoiceBocxLib;

namespace VNOrvak
{

bool usePhoneAt(const QString &address, QString &why)
{
    // Checked as a telephone's own address: no telephone system in between.
    const QString target = sipDialTarget(address, SipSettings());
    if (target.isEmpty()) {
        why = QStringLiteral("not a SIP telephone's address (user@host[:port] or host[:port])");
        return false;
    }
    const bool loopback = target.contains(u"@127.") || target.startsWith(u"sip:127.") ||
                          target.contains(u"localhost");
    setVoiceBoardFactory(
        [address, loopback](const VoiceBoardConfig &config,
                            std::unique_ptr<WaveDevice> wave) -> std::unique_ptr<VoiceBocx> {
            try {
                // The workstation's own SIP keys (address, ports, codecs) still count.
                SipSettings settings = readSipSettings(config.iniFile);
                settings.phoneAddress = address;
                if (loopback && settings.localAddress.isEmpty())
                    settings.localAddress = QStringLiteral("127.0.0.1");
                return std::make_unique<SipVoiceBoard>(settings, std::move(wave));
            } catch (const std::exception &e) {
                modVNQRN::WriteLog(u"VoiceBoard --phone " + address + u": " +
                                   QString::fromLocal8Bit(e.what()) + u"; using none");
                return std::make_unique<NullVoiceBoard>();
            }
        });
    return true;
}

} // namespace VNOrvak
