#include "sip_settings.h"

#include "telephony/vox_decoder.h"

#include "shared/error.h"
#include "shared/profile.h"

#include <QRegularExpression>

namespace VoiceBocxLib
{

namespace
{

const QString kSection = QStringLiteral("VoiceBoard");

QString readKey(const QString &key, const QString &iniFile)
{
    return modVNQRN::ReadProfileString(kSection, key, QString(), iniFile).trimmed();
}

[[noreturn]] void badValue(const QString &key, const QString &value, const QString &why)
{
    throw modVNQRN::Error(modVNQRN::errInvalidCall, key + u" \"" + value + u"\" " + why);
}

bool parsePort(const QString &text, quint16 &port, bool zeroAllowed)
{
    bool ok = false;
    const uint value = text.toUInt(&ok);
    if (!ok || value > 65535 || (value == 0 && !zeroAllowed))
        return false;
    port = static_cast<quint16>(value);
    return true;
}

bool isIpv4(const QString &text);

// A host name or an IPv4 address; a bare number is neither (it is a
// telephone number).
bool isHostName(const QString &host)
{
    if (!isIpv4(host) && !host.contains(QRegularExpression(QStringLiteral("[A-Za-z]"))))
        return false;
    static const QRegularExpression name(
        QStringLiteral("^[A-Za-z0-9]([A-Za-z0-9-]*[A-Za-z0-9])?(\\.[A-Za-z0-9]([A-Za-z0-9-]*"
                       "[A-Za-z0-9])?)*$"));
    return host.size() <= 253 && name.match(host).hasMatch();
}

// "host" or "host:port"; false when either part is malformed.
bool splitHostPort(const QString &text, QString &host, quint16 &port)
{
    const qsizetype colon = text.lastIndexOf(u':');
    host = colon < 0 ? text : text.left(colon);
    if (colon >= 0 && !parsePort(text.mid(colon + 1), port, false))
        return false;
    return isHostName(host);
}

bool isIpv4(const QString &text)
{
    const QStringList parts = text.split(u'.');
    if (parts.size() != 4)
        return false;
    for (const QString &part : parts) {
        bool ok = false;
        if (part.isEmpty() || part.size() > 3 || part.toUInt(&ok) > 255 || !ok)
            return false;
    }
    return true;
}

QList<SipCodec> parseCodecs(const QString &text)
{
    QList<SipCodec> codecs;
    for (const QString &item : text.split(u',')) {
        const QString name = item.trimmed().toUpper();
        SipCodec codec;
        if (name == u"PCMU")
            codec = SipCodec::Pcmu;
        else if (name == u"PCMA")
            codec = SipCodec::Pcma;
        else
            badValue(QStringLiteral("SipCodecs"), text,
                     QStringLiteral("names a codec other than PCMU and PCMA"));
        if (!codecs.contains(codec))
            codecs.append(codec);
    }
    return codecs;
}

// The user part of a SIP address: what a telephone number may hold, with
// "#" escaped as it must be inside an address.
QString userPart(const QString &number)
{
    static const QRegularExpression allowed(QStringLiteral("^[A-Za-z0-9*#+._~!-]+$"));
    if (!allowed.match(number).hasMatch())
        return {};
    QString user = number;
    return user.replace(u'#', QStringLiteral("%23"));
}

} // namespace

SipSettings readSipSettings(const QString &iniFile)
{
    SipSettings s;
    s.voxRate = voxRateSetting(iniFile);

    if (const QString server = readKey(QStringLiteral("SipServer"), iniFile); !server.isEmpty()) {
        if (!splitHostPort(server, s.serverHost, s.serverPort))
            badValue(QStringLiteral("SipServer"), server,
                     QStringLiteral("is not a host name or address with an optional :port"));
    }
    if (const QString address = readKey(QStringLiteral("SipAddress"), iniFile);
        !address.isEmpty()) {
        if (!isIpv4(address) || address == u"0.0.0.0")
            badValue(QStringLiteral("SipAddress"), address,
                     QStringLiteral("is not an IPv4 address of this workstation"));
        s.localAddress = address;
    }
    if (const QString port = readKey(QStringLiteral("SipPort"), iniFile); !port.isEmpty()) {
        if (!parsePort(port, s.localPort, true))
            badValue(QStringLiteral("SipPort"), port,
                     QStringLiteral("is not a port number (0 to 65535)"));
    }
    if (const QString range = readKey(QStringLiteral("SipRtpPorts"), iniFile); !range.isEmpty()) {
        const QStringList parts = range.split(u'-');
        if (parts.size() != 2 || !parsePort(parts[0].trimmed(), s.rtpPortMin, false) ||
            !parsePort(parts[1].trimmed(), s.rtpPortMax, false) || s.rtpPortMin >= s.rtpPortMax)
            badValue(QStringLiteral("SipRtpPorts"), range,
                     QStringLiteral("is not a range of ports such as 16384-32767"));
    }
    if (const QString codecs = readKey(QStringLiteral("SipCodecs"), iniFile); !codecs.isEmpty())
        s.codecs = parseCodecs(codecs);

    s.user = readKey(QStringLiteral("SipUser"), iniFile);
    s.password =
        modVNQRN::ReadProfileString(kSection, QStringLiteral("SipPassword"), QString(), iniFile);
    if (!s.user.isEmpty() && userPart(s.user).isEmpty())
        badValue(QStringLiteral("SipUser"), s.user, QStringLiteral("is not a valid user name"));
    if (!s.password.isEmpty() && s.user.isEmpty())
        throw modVNQRN::Error(modVNQRN::errInvalidCall,
                              QStringLiteral("SipPassword is set without SipUser"));
    if (!s.user.isEmpty() && !s.hasServer())
        throw modVNQRN::Error(modVNQRN::errInvalidCall,
                              QStringLiteral("SipUser is set without SipServer to register with"));
    return s;
}

QString sipDialTarget(const QString &connectString, const SipSettings &settings)
{
    const QString text = connectString.trimmed();
    if (text.isEmpty())
        return {};
    if (text.startsWith(u"sip:", Qt::CaseInsensitive))
        return sipDialTarget(text.mid(4), settings);
    if (const qsizetype at = text.indexOf(u'@'); at >= 0) {
        const QString user = userPart(text.left(at));
        QString host;
        quint16 port = 5060;
        if (user.isEmpty() || !splitHostPort(text.mid(at + 1), host, port))
            return {};
        return u"sip:" + user + u'@' + text.mid(at + 1);
    }
    if (settings.hasServer()) {
        const QString user = userPart(text);
        if (user.isEmpty())
            return {};
        return u"sip:" + user + u'@' + settings.serverHost + u':' +
               QString::number(settings.serverPort);
    }
    QString host;
    quint16 port = 5060;
    if (!splitHostPort(text, host, port))
        return {};
    return QStringLiteral("sip:") + text;
}

void checkConnectString(const QString &iniFile, const SipSettings &settings)
{
    QString number = modVNQRN::ReadProfileString(
        QStringLiteral("Messages"), QStringLiteral("ConnectString"), QString(), iniFile);
    number.remove(u'-');
    if (number.trimmed().isEmpty())
        throw modVNQRN::Error(
            modVNQRN::errInvalidCall,
            QStringLiteral("ConnectString is empty: there is no telephone to call"));
    if (sipDialTarget(number, settings).isEmpty())
        badValue(QStringLiteral("ConnectString"), number,
                 settings.hasServer()
                     ? QStringLiteral("is not a number or SIP address")
                     : QStringLiteral("is not a telephone's address and SipServer is not set"));
}

} // namespace VoiceBocxLib
