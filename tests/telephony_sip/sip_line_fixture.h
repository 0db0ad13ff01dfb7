#pragma once

#include "baresip_phone.h"
#include "telephony/sip/sip_voice_board.h"

#include "support/test_environment.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTimer>

#include <functional>
#include <memory>

/// A SIP line on 127.0.0.1 and one telephone (baresip) for the whole suite;
/// each test gets a fresh line. Skipped, with the reason printed, where the
/// telephone cannot run.
class SipLineFixture : public ::testing::Test
{
protected:
    /// The suite's telephone; `options` as the suite wants it.
    static void startPhone(const BaresipPhone::Options &options);
    static void stopPhone();

    void SetUp() override;
    void TearDown() override;

    /// The line's settings for these tests (loopback, any free SIP port).
    static VoiceBocxLib::SipSettings loopbackSettings();
    /// Calls the telephone; the call is up when this returns.
    void callPhone();
    /// Hangs up and waits until the telephone has closed the call.
    void hangUpAndWait();
    /// Runs `action` `delayMs` after the line first reports a play running
    /// (its first packet leaves then), however long the file took to decode.
    void whenPlaying(int delayMs, std::function<void()> action);
    /// A message file holding `samples`; `reference` then holds what it decodes to.
    QString messageFile(const QVector<qint16> &samples,
                        const QString &name = QStringLiteral("N000000042.vox"));

    static inline std::unique_ptr<BaresipPhone> phone;
    static inline QString skipReason;

    TestWorkstation ws;
    std::unique_ptr<VoiceBocxLib::SipVoiceBoard> board;
    QVector<qint16> reference;
    int closedBefore = 0;
    QElapsedTimer playing; ///< started when whenPlaying() saw the play running
    QTimer watch;
};
