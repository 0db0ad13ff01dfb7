#include "clsPhoneHelp.h"

#include "line_holder.h"
#include "port_log.h"
#include "voice_board_registry.h"

#include "shared/environment.h"
#include "shared/error.h"
#include "shared/error_log.h"
#include "shared/profile.h"

#include <limits>

using namespace modVNQRN;
using namespace VoiceBocxLib;

namespace
{

const QString kTelMon = QStringLiteral("TelMon");
const QString kMessages = QStringLiteral("Messages");

qint32 readTelMon(const QString &key, qint32 defaultValue)
{
    return ReadProfileInt(kTelMon, key, defaultValue, gsLocalIni);
}

// Hundredths of a second, in 32-bit arithmetic: a setting beyond it is an overflow.
qint32 timesHundred(qint32 value)
{
    qint32 result = 0;
    if (__builtin_mul_overflow(value, 100, &result))
        throw Error(errOverflow);
    return result;
}

qint16 asInteger16(qint32 value)
{
    if (value < std::numeric_limits<qint16>::min() || value > std::numeric_limits<qint16>::max())
        throw Error(errOverflow);
    return static_cast<qint16>(value);
}

} // namespace

clsPhoneHelp::clsPhoneHelp(QObject *parent) : QObject(parent)
{
    mlngConnectAck = timesHundred(readTelMon(QStringLiteral("ConnectAck"), 15));
    mlngRingWait = timesHundred(readTelMon(QStringLiteral("RingWait"), 20));
    mlngKeysTimeOut = readTelMon(QStringLiteral("KeysTimeOut"), 6);
    mlngAnsPlayDelay = readTelMon(QStringLiteral("AnsPlayDelay"), 0);
    mlngMaxRecordTime = readTelMon(QStringLiteral("MaxRecordTime"), 60);
    mlngSilenceTime = readTelMon(QStringLiteral("SilenceTime"), 6);
    mlngMsgPort = ReadProfileInt(kMessages, QStringLiteral("Msgport"), 0, gsLocalIni);
    mstrConnectString =
        ReadProfileString(kMessages, QStringLiteral("ConnectString"), QString(), gsLocalIni);
    mstrConnectString.remove(u'-');

    mblnLocalVox = ReadProfileInt(QStringLiteral("SystemControl"), QStringLiteral("LocalVox"), 0,
                                  gsLocalIni) != 0;
    mstrGreetingFile = (mblnLocalVox ? gsLocalPath : gsDataPath) + u"vox/msgmic.vox";

    mblnPortLog =
        ReadProfileInt(QStringLiteral("Zuzidivuz"), QStringLiteral("ErrorLog"), 1, gsLocalIni) == 1;

    DetectDevices();
}

clsPhoneHelp::~clsPhoneHelp()
{
    // Deleted during a call (its owner went away): the telephone must not
    // stay off the hook. The owner hears nothing more; the line is given free.
    if (!mblnConnected || !mVoiceCtl || mVoiceCtl->TrunkChannel() < 0)
        return;
    try {
        WritePortLog(QStringLiteral("Disconnect Call"));
        mVoiceCtl->StopVoice();
        mVoiceCtl->HangUp();
        VNOrvakTelephony::releaseLine(gsLocalIni);
    } catch (...) {
        WriteLog(ErrorMessage(currentError(), QStringLiteral("VN-PHoneHelp")));
    }
}

void clsPhoneHelp::DetectDevices()
{
    mVoiceCtl = createVoiceBoard(gsLocalIni);
    mVoiceCtl->setCallerHangupHandler([this] { mVoiceCtl_CallerHangup(); });
    mVoiceCtl->setLogLevel(readTelMon(QStringLiteral("Log"), 2));
    mVoiceCtl->setInitSwitchA(true);
    mVoiceCtl->setInitSwitchB(true);
    mVoiceCtl->setInitValue(0);

    const qint16 voice = asInteger16(mVoiceCtl->QueryDevice(kVoiceDevice));
    WritePortLog(u"Voice device is installed = " + QString::number(voice));
    mblnVoiceBoard = voice != 0;

    const qint16 wave = asInteger16(mVoiceCtl->QueryDevice(kWaveDevice));
    WritePortLog(u"Wave device is installed = " + QString::number(wave));
    mblnSoundCard = wave != 0;
}

void clsPhoneHelp::WritePortLog(const QString &text)
{
    if (!mblnPortLog)
        return;
    VNOrvakTelephony::appendPortLog(mlngMsgPort, text);
}

void clsPhoneHelp::failedWithHangupCheck(const Error &error)
{
    if (mVoiceCtl->CallStatus() == kFarEndGone)
        DisconnectCall(QString());
    else
        ReportError(error, QStringLiteral("VN-PHoneHelp"));
}
