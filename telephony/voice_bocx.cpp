#include "voice_bocx.h"

namespace VoiceBocxLib
{

QString describeVoiceBocxError(qint32 number)
{
    switch (number) {
    case vbErrNoDevice:
        return QStringLiteral("No voice device is present");
    case vbErrNoTrunk:
        return QStringLiteral("No trunk channel is selected");
    case vbErrFarEndGone:
        return QStringLiteral("The far end has hung up");
    case vbErrNoCall:
        return QStringLiteral("No call is up on the trunk channel");
    case vbErrFileOpen:
        return QStringLiteral("Cannot open the voice file");
    case vbErrFileWrite:
        return QStringLiteral("Cannot write the voice file");
    case vbErrOperationFailed:
        return QStringLiteral("The voice operation failed");
    case vbErrBusy:
        return QStringLiteral("The channel is busy with another operation");
    default:
        return modVNQRN::describeError(number);
    }
}

modVNQRN::Error voiceBocxError(qint32 number, std::source_location where)
{
    return modVNQRN::Error(number, describeVoiceBocxError(number), QString::fromUtf16(kErrorSource),
                           where);
}

VoiceBocx::~VoiceBocx() = default;

void VoiceBocx::setCallerHangupHandler(std::function<void()> handler)
{
    m_callerHangup = std::move(handler);
}

void VoiceBocx::raiseCallerHangup()
{
    if (m_callerHangup)
        m_callerHangup();
}

WaveDevice::~WaveDevice() = default;

} // namespace VoiceBocxLib
