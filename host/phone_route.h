#pragma once

#include <QString>

namespace VNOrvak
{

/// Routes the control's playback to the SIP telephone at `address`
/// ("user@host[:port]" or "host[:port]") in place of the voice board the
/// settings name: every voice board created afterwards is the SIP line,
/// calling that address whatever number is dialled, with the workstation's
/// SIP keys (docs/voice-board.md). Called once, before the control starts.
/// False, with the reason in `why`, when the address cannot be dialled.
/// A line that cannot start is written to the error log and leaves no voice
/// board.
bool usePhoneAt(const QString &address, QString &why);

} // namespace VNOrvak
