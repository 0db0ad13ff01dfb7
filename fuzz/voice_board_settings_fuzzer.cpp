// The voice-board and SIP settings on arbitrary settings files: reading never
// fails but with the documented "Invalid procedure call or argument" naming
// the key, never shows the password, and what it accepts is usable (finite
// time scales, port ranges in order, at least one codec, a known sample rate).

#include "fuzz_support.h"

#include "telephony/sip/sip_settings.h"
#include "telephony/voice_board_registry.h"
#include "telephony/vox_decoder.h"

#include "shared/error.h"
#include "shared/profile.h"

#include <QFile>

#include <cmath>

using namespace VoiceBocxLib;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzWorkstation &ws = FuzzWorkstation::instance();
    const QString path = ws.folder() + u"voiceboard.ini";
    {
        QFile out(path);
        FUZZ_CHECK(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(bytesOf(data, size));
    }

    const VoiceBoardConfig config = readVoiceBoardConfig(path);
    FUZZ_CHECK(!config.driver.isEmpty() && !config.waveDevice.isEmpty());
    FUZZ_CHECK(std::isfinite(config.timeScale) && config.timeScale >= 0 &&
               config.timeScale <= 1000);
    const int rate = voxRateSetting(path);
    FUZZ_CHECK(rate == 6000 || rate == 8000);

    const QString password = modVNQRN::ReadProfileString(
        QString::fromUtf16(kVoiceBoardSection), QStringLiteral("SipPassword"), QString(), path);
    const auto noPassword = [&](const QString &text) {
        // A password of one or two characters may occur in any text by chance.
        return password.size() < 3 || !text.contains(password);
    };
    try {
        const SipSettings sip = readSipSettings(path);
        FUZZ_CHECK(sip.rtpPortMin <= sip.rtpPortMax);
        FUZZ_CHECK(!sip.codecs.isEmpty());
        FUZZ_CHECK(sip.voxRate == 6000 || sip.voxRate == 8000);
        FUZZ_CHECK(!sip.user.isEmpty() || sip.password.isEmpty());
        FUZZ_CHECK(sip.user.isEmpty() || sip.hasServer());
        const QString connect = modVNQRN::ReadProfileString(
            QStringLiteral("Messages"), QStringLiteral("ConnectString"), QString(), path);
        const QString target = sipDialTarget(QString(connect).remove(u'-'), sip);
        FUZZ_CHECK(target.isEmpty() || target.startsWith(u"sip:"));
        FUZZ_CHECK(!target.contains(u'\r') && !target.contains(u'\n') && !target.contains(u' '));
        try {
            checkConnectString(path, sip);
            FUZZ_CHECK(!target.isEmpty());
        } catch (const modVNQRN::Error &e) {
            FUZZ_CHECK(e.number() == modVNQRN::errInvalidCall);
            FUZZ_CHECK(noPassword(e.description()));
        }
    } catch (const modVNQRN::Error &e) {
        FUZZ_CHECK(e.number() == modVNQRN::errInvalidCall);
        FUZZ_CHECK(!e.description().isEmpty());
        FUZZ_CHECK(noPassword(e.description()));
    }
    return 0;
}
