// Audio on a real call: what the telephone hears, keys that stop a play,
// StopVoice, skip seconds, beeps, recordings and digits.

#include "sip_line_fixture.h"

#include "signal_match.h"
#include "test_message.h"

#include <QElapsedTimer>
#include <QTimer>

using namespace VoiceBocxLib;

namespace
{

class SipMediaTest : public SipLineFixture
{
protected:
    static void SetUpTestSuite()
    {
        BaresipPhone::Options options;
        options.speech = speechLikeMessage(2000);
        startPhone(options);
    }
    static void TearDownTestSuite() { stopPhone(); }
};

} // namespace

TEST_F(SipMediaTest, TheTelephoneHearsTheMessage)
{
    const QString path = messageFile(speechLikeMessage(3000));
    callPhone();
    board->PlayFile(path, 0, QStringLiteral("#"));
    EXPECT_EQ(board->ElapsedSeconds(), 3);
    // The last packets still cross the telephone's jitter buffer.
    const QVector<qint16> heard = phone->waitHeard(reference.size() + 2400);
    const SignalMatch match = findSignal(reference, heard);
    EXPECT_GT(match.correlation, 0.95);
    EXPECT_GT(correlationAt(reference, heard, match.lag, 0, 800), 0.95);
    EXPECT_GT(correlationAt(reference, heard, match.lag, reference.size() - 800, 800), 0.95);
}
