#pragma once

#include <QString>

namespace VNOrvak
{

/// Routes the control's playback to the SIP telephone at `address` in place
/// of the voice board the settings name. Called once, before the control
/// starts. False, with the reason in `why`, when this build cannot.
bool usePhoneAt(const QString &address, QString &why);

} // namespace VNOrvak
