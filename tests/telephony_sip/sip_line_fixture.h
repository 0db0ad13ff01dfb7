#pragma once

#include "baresip_phone.h"
#include "telephony/sip/sip_voice_board.h"

#include "support/test_environment.h"

#include <gtest/gtest.h>

#include <QObject>

#include <functional>
#include <memory>

/// Runs `action` once, `delayMs` after `condition` first holds (checked every
/// millisecond while the event loop runs, as it does while a call blocks).
void when(QObject *owner, std::function<bool()> condition, int delayMs,
          std::function<void()> action);

/// True while the SIP line created last is playing (its first packet has
/// left), however long the file took to decode.
bool linePlaying();

/// A suite with one telephone (baresip on 127.0.0.1) for all its tests.
/// Where the telephone cannot run, every test is skipped with the reason,
/// which is also printed once.
class PhoneSuite : public ::testing::Test
{
protected:
    /// Starts the suite's telephone; `options` as the suite wants it.
    static void startPhone(const BaresipPhone::Options &options = {});
    static void TearDownTestSuite() { phone.reset(); }
    void SetUp() override;

    static inline std::unique_ptr<BaresipPhone> phone;
    static inline QString skipReason;
};

/// A fresh SIP line on 127.0.0.1 (any free SIP port) for each test, calling
/// the suite's telephone.
class SipLineFixture : public PhoneSuite
{
protected:
    void SetUp() override;
    void TearDown() override;

    /// Opens a fresh line in `board`.
    void openLine();
    /// Calls `to`; the call is up when this returns.
    void callPhone(BaresipPhone &to = *phone);
    /// Hangs up and waits until the telephone called has closed the call.
    void hangUpAndWait();
    /// A message file holding `samples`; `reference` then holds what it decodes to.
    QString messageFile(const QVector<qint16> &samples);

    TestWorkstation ws;
    std::unique_ptr<VoiceBocxLib::SipVoiceBoard> board;
    BaresipPhone *called = nullptr;
    QVector<qint16> reference;
    QObject timers; ///< owns the timers of when()
};
