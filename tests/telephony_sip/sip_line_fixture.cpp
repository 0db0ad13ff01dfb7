#include "sip_line_fixture.h"

#include "telephony/vox_decoder.h"

#include <QTimer>

#include <cstdio>

using namespace VoiceBocxLib;

void when(QObject *owner, std::function<bool()> condition, int delayMs,
          std::function<void()> action)
{
    auto *watch = new QTimer(owner);
    QObject::connect(watch, &QTimer::timeout, [=] {
        if (!condition())
            return;
        watch->stop();
        watch->deleteLater();
        QTimer::singleShot(delayMs, owner, action);
    });
    watch->start(1);
}

bool linePlaying()
{
    return SipVoiceBoard::last() && SipVoiceBoard::last()->ChannelState() == kChannelPlaying;
}

void PhoneSuite::startPhone(const BaresipPhone::Options &options)
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

void PhoneSuite::SetUp()
{
    if (!skipReason.isEmpty())
        GTEST_SKIP() << skipReason.toStdString();
    phone->clearRecordings();
}

void SipLineFixture::SetUp()
{
    PhoneSuite::SetUp();
    if (IsSkipped())
        return;
    openLine();
}

void SipLineFixture::openLine()
{
    SipSettings settings;
    settings.localAddress = QStringLiteral("127.0.0.1");
    settings.localPort = 0;
    settings.rtpPortMin = 20000;
    settings.rtpPortMax = 40000;
    board = std::make_unique<SipVoiceBoard>(settings, nullptr);
    board->setTrunkChannel(0);
}

void SipLineFixture::TearDown()
{
    if (board && board->callUp())
        hangUpAndWait();
    board.reset();
}

void SipLineFixture::callPhone(BaresipPhone &to)
{
    const int established = to.count(QStringLiteral("CALL_ESTABLISHED"));
    board->Dial(to.address());
    ASSERT_EQ(board->CallStatus(), kCallAnswered) << board->lastCallOutcome().toStdString();
    ASSERT_TRUE(to.waitFor(QStringLiteral("CALL_ESTABLISHED"), established + 1));
    called = &to;
}

void SipLineFixture::hangUpAndWait()
{
    const int closed = called->count(QStringLiteral("CALL_CLOSED"));
    board->HangUp();
    EXPECT_TRUE(called->waitFor(QStringLiteral("CALL_CLOSED"), closed + 1));
}

QString SipLineFixture::messageFile(const QVector<qint16> &samples)
{
    const QString path = ws.root() + u"N000000042.vox";
    writeVoxFile(path, samples);
    reference = decodeVoxFile(path).samples;
    return path;
}
