#include "sip_line_fixture.h"

#include "telephony/vox_decoder.h"

#include <cstdio>

using namespace VoiceBocxLib;

void SipLineFixture::startPhone(const BaresipPhone::Options &options)
{
    skipReason = BaresipPhone::missing();
    if (skipReason.isEmpty()) {
        phone = std::make_unique<BaresipPhone>();
        if (!phone->start(options))
            skipReason = u"the telephone does not start: " + phone->failure();
    }
    if (!skipReason.isEmpty())
        std::printf("%s\n", qPrintable(skipReason));
}

void SipLineFixture::stopPhone()
{
    phone.reset();
}

void SipLineFixture::SetUp()
{
    if (!skipReason.isEmpty())
        GTEST_SKIP() << skipReason.toStdString();
    phone->clearRecordings();
    closedBefore = phone->count(QStringLiteral("CALL_CLOSED"));
    board = std::make_unique<SipVoiceBoard>(loopbackSettings(), nullptr);
    board->setTrunkChannel(0);
}

void SipLineFixture::TearDown()
{
    if (board && board->callUp())
        hangUpAndWait();
    board.reset();
}

SipSettings SipLineFixture::loopbackSettings()
{
    SipSettings settings;
    settings.localAddress = QStringLiteral("127.0.0.1");
    settings.localPort = 0;
    settings.rtpPortMin = 20000;
    settings.rtpPortMax = 40000;
    return settings;
}

void SipLineFixture::callPhone()
{
    const int established = phone->count(QStringLiteral("CALL_ESTABLISHED"));
    board->Dial(phone->address());
    ASSERT_EQ(board->CallStatus(), kCallAnswered) << board->lastCallOutcome().toStdString();
    ASSERT_TRUE(phone->waitFor(QStringLiteral("CALL_ESTABLISHED"), established + 1));
}

void SipLineFixture::hangUpAndWait()
{
    const int closed = phone->count(QStringLiteral("CALL_CLOSED"));
    board->HangUp();
    EXPECT_TRUE(phone->waitFor(QStringLiteral("CALL_CLOSED"), closed + 1));
}

void SipLineFixture::whenPlaying(int delayMs, std::function<void()> action)
{
    watch.setInterval(1);
    QObject::connect(&watch, &QTimer::timeout, [this, delayMs, action] {
        if (board->ChannelState() != kChannelPlaying)
            return;
        watch.stop();
        watch.disconnect();
        playing.start();
        QTimer::singleShot(delayMs, action);
    });
    watch.start();
}

QString SipLineFixture::messageFile(const QVector<qint16> &samples, const QString &name)
{
    const QString path = ws.root() + name;
    writeVoxFile(path, samples);
    reference = decodeVoxFile(path).samples;
    return path;
}
