#include "phone_route.h"

#include "shared/error_log.h"
#include "telephony/null_voice_board.h"
#include "telephony/sip/sip_settings.h"
#include "telephony/voice_board_registry.h"

using namespace VoiceBocxLib;

namespace VNOrvak
{

bool usePhoneAt(const QString &address, QString &why)
{
    // Checked as a telephone's own address: no telephone system in between.
    if (sipDialTarget(address, SipSettings()).isEmpty()) {
        why = QStringLiteral("not a SIP telephone's address (user@host[:port] or host[:port])");
        return false;
    }
    setVoiceBoardFactory([address](const VoiceBoardConfig &config,
                                   std::unique_ptr<WaveDevice> wave) -> std::unique_ptr<VoiceBocx> {
        // The SIP line's plug-in, with the workstation's own SIP keys
        // (address, ports, codecs).
        VoiceBoardConfig line = config;
        line.driver = QStringLiteral("sip");
        line.phoneAddress = address;
        try {
            return createNamedVoiceBoard(line, std::move(wave));
        } catch (const std::exception &e) {
            modVNQRN::WriteLog(u"VoiceBoard --phone " + address + u": " +
                               QString::fromLocal8Bit(e.what()) + u"; using none");
            return std::make_unique<NullVoiceBoard>();
        }
    });
    return true;
}

} // namespace VNOrvak
