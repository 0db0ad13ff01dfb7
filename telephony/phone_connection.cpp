// The message line: calling the operator's telephone, the sound-card route,
// hanging up, and the helper's timed waits.

#include "clsPhoneHelp.h"

#include "line_holder.h"

#include "shared/clock.h"
#include "shared/environment.h"
#include "shared/error.h"
#include "shared/error_log.h"
#include "shared/profile.h"
#include "shared/prompter.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

using namespace modVNQRN;
using namespace VoiceBocxLib;
using namespace VNOrvakTelephony;

namespace
{

constexpr qint64 kIdleWaitMs = 30 * 1000;
constexpr int kWaitSleepMs = 10;

// Waits measure monotonic time: a wall clock set back an hour (by hand, by
// NTP, at the end of summer time) must not stretch a one-second wait to an hour.
qint64 msecsSince(qint64 start)
{
    return appClock().monotonicMs() - start;
}

// One pass of a timed wait: the host's events run, then a short sleep so the
// wait does not spin the processor.
void waitPass()
{
    QCoreApplication::processEvents();
    appClock().sleepMs(kWaitSleepMs);
}

} // namespace

bool clsPhoneHelp::ConnectPhone(const QString &ProgramName)
{
    if (mblnConnected)
        return true;
    const Alive alive(this);
    try {
        if (ProgramName.isEmpty()) {
            MsgBox(QStringLiteral("Please assign a program name before connecting"),
                   MsgBoxIcon::Information);
            return false;
        }
        const LineHolder holder = readLineHolder(gsLocalIni);
        if (!holder.program.isEmpty()) {
            if (!holderIsGone(holder)) {
                MsgBox(u"The message line is being used by program " + holder.program + u"\r\n" +
                           u"Please return to " + holder.program + u" and hangup phone or exit",
                       MsgBoxIcon::Information);
                return false;
            }
            // Its holder died without hanging up (killed, or the machine
            // went down): nobody is left to free the line but us.
            const QString takeOver = u"The message line was held by program " + holder.program +
                                     u" (process " + QString::number(holder.pid) + u" on " +
                                     holder.host + u"), which has ended; " + ProgramName +
                                     u" takes it over";
            WriteLog(takeOver);
            WritePortLog(takeOver);
        }
        writeLineHolder(thisProcessHolder(ProgramName), gsLocalIni);

        const qint32 trunk = mlngMsgPort - 1;
        WritePortLog(u"Trunk Channel=" + QString::number(trunk));
        mVoiceCtl->setTrunkChannel(trunk);
        mVoiceCtl->SetCallOptions(2300, 10, 1, 545260558);
        mVoiceCtl->SetParameter(kParamConnectAck, mlngConnectAck);
        mVoiceCtl->SetParameter(kParamRingWait, mlngRingWait);
        WritePortLog(u"Making Call=" + mstrConnectString);
        WaitSeconds(1);
        if (!alive)
            return false;
        mblnConnected = true;

        mVoiceCtl->Dial(mstrConnectString, true);
        if (!alive)
            return false;
        if (mVoiceCtl->CallStatus() == kCallAnswered) {
            WritePortLog(QStringLiteral("Connection succeeded"));
            const qint64 start = appClock().monotonicMs();
            mlngAnsPlayDelay = ReadProfileInt(QStringLiteral("TelMon"),
                                              QStringLiteral("AnsPlayDelay"), 0, gsLocalIni);
            WritePortLog(u"Delaying playing by " + QString::number(mlngAnsPlayDelay) + u" seconds");
            while (msecsSince(start) < qint64(mlngAnsPlayDelay) * 1000) {
                waitPass();
                if (!alive)
                    return false;
            }
            WritePortLog(QStringLiteral("Finshed Delay"));
            return true;
        }

        WritePortLog(QStringLiteral("Connection failed"));
        const QString port = QString::number(mlngMsgPort);
        MsgBox(u"Phone could not connect to message port " + port + u"\r\n" +
                   u"Make sure the phone has a ring tone " + u"\r\n" +
                   u"and is plugged into message port " + port,
               MsgBoxIcon::Information);
        if (alive && mVoiceCtl->CallStatus() == kCallFailed)
            DisconnectCall(QString());
        return false;
    } catch (...) {
        if (alive)
            ReportError(currentError(), QStringLiteral("VN-PHoneHelp"));
        return false;
    }
}

bool clsPhoneHelp::ConnectSoundCard()
{
    try {
        mVoiceCtl->setAutoRouteMedia(false);
        WritePortLog(QStringLiteral("AutoRouteMedia=false"));
        mVoiceCtl->setTrunkChannel(-1);
        WritePortLog(QStringLiteral("TrunkChannel=-1"));
        const qint32 found = mVoiceCtl->FindChannel(kWaveDevice);
        if (found < -32768 || found > 32767)
            throw Error(errOverflow);
        const auto channel = static_cast<qint16>(found);
        WritePortLog(u"MediaChannel=" + QString::number(channel));
        mVoiceCtl->setMediaChannel(channel);
        mblnConnected = true;
        return true;
    } catch (...) {
        ReportError(currentError(), QStringLiteral("VN-PHoneHelp"));
        return false;
    }
}

void clsPhoneHelp::DisconnectCall(const QString &filepath)
{
    if (!mblnConnected)
        return;
    const Alive alive(this);
    try {
        mblnDisconnectOnHangup = true;
        WritePortLog(QStringLiteral("Disconnect Call"));
        mVoiceCtl->HangUp();
        mVoiceCtl->setTrunkChannel(-1);
        mblnConnected = false;
        releaseLine(gsLocalIni);
        if (!filepath.isEmpty() && QFileInfo(filepath).isFile() && !QFile::remove(filepath))
            throw Error(errPermissionDenied);
        Q_EMIT CallerHangup();
        if (alive)
            mblnDisconnectOnHangup = false;
    } catch (...) {
        if (!alive)
            return;
        const Error error = currentError();
        if (mVoiceCtl->CallStatus() != kFarEndGone) {
            ReportError(error, QStringLiteral("VN-PHoneHelp"));
        } else if (mDisconnectRetries == 0) {
            // One more run; a hang-up that keeps failing must not recurse forever.
            ++mDisconnectRetries;
            DisconnectCall(QString());
            --mDisconnectRetries;
        } else if (mblnConnected) {
            // The board cannot hang up, but the far end is gone: the route is
            // closed all the same, and the control must hear of it.
            mblnConnected = false;
            releaseLine(gsLocalIni);
            Q_EMIT CallerHangup();
            if (alive)
                mblnDisconnectOnHangup = false;
        }
    }
}

void clsPhoneHelp::WaitForIdleState()
{
    if (!mblnConnected)
        return;
    const Alive alive(this);
    try {
        mblnDisconnectOnHangup = false;
        const qint64 start = appClock().monotonicMs();
        if (mVoiceCtl->TrunkChannel() != -1) {
            for (;;) {
                QCoreApplication::processEvents();
                if (!alive)
                    return;
                if (msecsSince(start) > kIdleWaitMs) {
                    appPrompter().messageBox(u"Waited longer than 30 seconds for an idle state" +
                                                 QStringLiteral("\r\n") +
                                                 u"Check to make sure messages are not playing",
                                             MsgBoxIcon::Information, QStringLiteral("Idle State"));
                    if (!alive)
                        return;
                    break;
                }
                if (mVoiceCtl->ChannelState() == kChannelIdle)
                    break;
                appClock().sleepMs(kWaitSleepMs);
            }
        }
        mblnDisconnectOnHangup = true;
    } catch (...) {
        if (alive)
            failedWithHangupCheck(currentError());
    }
}

void clsPhoneHelp::mVoiceCtl_CallerHangup()
{
    if (!mblnDisconnectOnHangup)
        return;
    const Alive alive(this);
    DisconnectCall(QString());
    if (alive)
        mblnConnected = false;
}

void clsPhoneHelp::WaitSeconds(qint32 seconds)
{
    const Alive alive(this);
    const qint64 start = appClock().monotonicMs();
    while (alive && msecsSince(start) < qint64(seconds) * 1000)
        waitPass();
}
