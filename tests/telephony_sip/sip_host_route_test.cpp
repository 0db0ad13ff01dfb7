// The sample host's --phone: every voice board becomes the SIP line calling
// the given telephone, whatever board and number the settings name.

#include "host/phone_route.h"

#include "baresip_phone.h"
#include "support/test_environment.h"
#include "telephony/sip/sip_voice_board.h"
#include "telephony/voice_board_registry.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace VoiceBocxLib;

namespace
{

class SipHostRouteTest : public ::testing::Test
{
protected:
    ~SipHostRouteTest() override { setVoiceBoardFactory({}); }
    TestWorkstation ws;
};

} // namespace

TEST_F(SipHostRouteTest, AnAddressThatCannotBeDialledIsRefused)
{
    for (const char *address : {"5551234", "phone@", "op@host:99999"}) {
        QString why;
        EXPECT_FALSE(VNOrvak::usePhoneAt(QString::fromUtf8(address), why)) << address;
        EXPECT_TRUE(why.startsWith(u"not a SIP telephone's address")) << why.toStdString();
    }
}

TEST_F(SipHostRouteTest, TheTelephoneIsCalledWhateverTheSettingsName)
{
    BaresipPhone phone;
    if (!phone.start({})) {
        std::printf("%s\n", qPrintable(phone.failure()));
        GTEST_SKIP() << phone.failure().toStdString();
    }
    const QString ini = ws.root() + u"QelLocal.ini";
    TestWorkstation::writeFile(ini, "[VoiceBoard]\r\nDriver=simulated\r\nWaveDevice=none\r\n"
                                    "SipPort=0\r\n[Messages]\r\nConnectString=555-0100\r\n");
    QString why;
    ASSERT_TRUE(VNOrvak::usePhoneAt(phone.address(), why)) << why.toStdString();

    const std::unique_ptr<VoiceBocx> board = createVoiceBoard(ini);
    ASSERT_NE(dynamic_cast<SipVoiceBoard *>(board.get()), nullptr);
    EXPECT_EQ(board->QueryDevice(kVoiceDevice), 1);
    board->setTrunkChannel(0);
    board->Dial(QStringLiteral("5550100"));
    EXPECT_EQ(board->CallStatus(), kCallAnswered);
    EXPECT_TRUE(phone.waitFor(QStringLiteral("CALL_ESTABLISHED")));
    board->HangUp();
    EXPECT_TRUE(phone.waitFor(QStringLiteral("CALL_CLOSED")));
}
