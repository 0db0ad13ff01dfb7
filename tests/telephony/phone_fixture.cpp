#include "phone_fixture.h"

#include "shared/environment.h"
#include "shared/profile.h"

#include <QDir>

using namespace modVNQRN;

PhoneFixture::PhoneFixture()
{
    QDir().mkpath(local);
    QDir().mkpath(data);
    gsLocalPath = local;
    gsLocalIni = local + u"QelLocal.ini";
    gsDataPath = data;
    writeIni();
}

void PhoneFixture::writeIni(const QByteArray &extra)
{
    TestWorkstation::writeFile(gsLocalIni,
                               "[VoiceBoard]\r\nDriver=simulated\r\nTimeScale=0.001\r\n"
                               "[Messages]\r\nMsgport=3\r\nConnectString=555-12-34\r\n" +
                                   extra);
}

clsPhoneHelp &PhoneFixture::helper()
{
    if (!phone) {
        phone = std::make_unique<clsPhoneHelp>();
        hangups = std::make_unique<QSignalSpy>(phone.get(), &clsPhoneHelp::CallerHangup);
    }
    return *phone;
}

VoiceBocxLib::SimulatedVoiceBoard &PhoneFixture::board()
{
    helper();
    auto *b = VoiceBocxLib::SimulatedVoiceBoard::last();
    if (!b)
        throw std::runtime_error("no simulated board");
    return *b;
}

QString PhoneFixture::voiceFile(const QString &name, int seconds)
{
    const QString path = data + name;
    TestWorkstation::writeFile(path, QByteArray(seconds * 4000, '\x11'));
    return path;
}

QStringList PhoneFixture::portLogTexts(qint32 port) const
{
    QStringList texts;
    const QString all =
        QString::fromUtf8(TestWorkstation::readFile(VNOrvakTelephony::portLogPath(port)));
    for (const QString &line : all.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)) {
        const qsizetype at = line.indexOf(u" VN-Orvak - '");
        texts.append(at < 0 ? line : line.mid(at + 13));
    }
    return texts;
}

QString PhoneFixture::msgPortUsage() const
{
    return ReadProfileString(QStringLiteral("Messages"), QStringLiteral("MsgPortUsage"), QString(),
                             gsLocalIni);
}
