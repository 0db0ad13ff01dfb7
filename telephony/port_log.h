#pragma once

#include <QString>

namespace VNOrvakTelephony
{

/// The port activity log of message port `port`: "<local folder>Port<port>.txt".
QString portLogPath(qint32 port);

/// Appends "<time stamp>VN-Orvak - '<text>" (CR LF) to the port's log.
/// The file is opened and closed for each line; when it cannot be written
/// the line is lost. Never throws.
void appendPortLog(qint32 port, const QString &text) noexcept;

} // namespace VNOrvakTelephony
