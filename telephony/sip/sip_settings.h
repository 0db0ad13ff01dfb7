#pragma once

#include <QList>
#include <QString>

namespace VoiceBocxLib
{

/// The audio codecs the SIP line offers (G.711, 8000 Hz).
enum class SipCodec {
    Pcmu, ///< G.711 mu-law, payload type 0
    Pcma, ///< G.711 A-law, payload type 8
};

/// The SIP line's settings: keys of section "VoiceBoard" in the local
/// settings file, next to Driver=sip (docs/voice-board.md has a sample).
///
///     SipServer=pbx.example.net:5060 ; the telephone system; empty: the connect
///                                    ; string is the telephone's own address
///     SipAddress=192.0.2.10          ; local IP address (default: the default route's)
///     SipPort=5060                   ; local SIP port (0: any free port)
///     SipRtpPorts=16384-32767        ; local ports for the call's audio
///     SipUser=console12              ; optional: registration and authentication
///     SipPassword=...                ; never written to any log
///     SipCodecs=PCMU,PCMA            ; offered in this order of preference
struct SipSettings {
    QString serverHost;        ///< empty: no telephone system
    quint16 serverPort = 5060; ///< the telephone system's SIP port
    QString localAddress;      ///< empty: the address of the default route
    quint16 localPort = 5060;  ///< 0: any free port
    quint16 rtpPortMin = 16384;
    quint16 rtpPortMax = 32767;
    QString user;     ///< empty: no registration
    QString password; ///< used for digest authentication only
    QList<SipCodec> codecs{SipCodec::Pcmu, SipCodec::Pcma};
    double timeScale = 1.0; ///< scales the line's time-outs (tests)
    /// When set, every call goes to this telephone's address whatever
    /// number is dialled (a host's "--phone" option).
    QString phoneAddress;
    int voxRate = 8000; ///< the sample rate of message files

    bool hasServer() const { return !serverHost.isEmpty(); }
};

/// Reads and checks the SIP keys of section "VoiceBoard" in `iniFile`.
/// Throws modVNQRN::Error (5) naming the key and its value when a value is
/// malformed, or when SipUser or SipPassword is set without SipServer or
/// SipPassword without SipUser. The password never appears in the text.
SipSettings readSipSettings(const QString &iniFile);

/// The SIP address a connect string is dialled at ("sip:" in front is
/// optional): "user@host[:port]" is an address as it stands; a number goes
/// to the telephone system ("number@SipServer"); without a telephone system,
/// "host[:port]" is the telephone itself. A "#" in a number is escaped.
/// Empty when the string cannot be dialled (nothing to dial, a number
/// without a telephone system, characters no address may hold).
QString sipDialTarget(const QString &connectString, const SipSettings &settings);

/// Checks that "ConnectString" of section "Messages" in `iniFile` (its "-"
/// removed, as the telephony helper dials it) can be dialled with these
/// settings. Throws modVNQRN::Error (5) saying why not.
void checkConnectString(const QString &iniFile, const SipSettings &settings);

} // namespace VoiceBocxLib
