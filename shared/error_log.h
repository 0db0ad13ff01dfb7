#pragma once

#include "error.h"

#include <QDateTime>
#include <QString>

namespace modVNQRN
{

/// The executable name that the error log and the error box show.
inline constexpr char16_t kExeName[] = u"VN-Orvak";

/// Log files larger than this are set aside ("-ERR.txt") before the next line.
inline constexpr qint64 kMaxLogBytes = 5000000;

/// Reports an unexpected failure: resets the mouse pointer, appends the
/// message "Error <errNumber> { <number>-<description> } occurred at
/// <errLine> in <source>[... <context>]" to today's error log and shows it in
/// a box titled "Zuzidivuz Solutions (VN-Orvak)". `current` is the failure
/// itself. Never throws.
void ReportError(qint32 errNumber, qint32 errLine, const Error &current, const QString &context);

/// The usual call from a catch block: the error's own number and line.
void ReportError(const Error &current, const QString &context);

/// The message ReportError() logs and shows for `current` with its own
/// number and line.
QString ErrorMessage(const Error &current, const QString &context);

/// Appends `message` to today's error log in the local folder, in quoted
/// pieces of about 100 characters, unless the "ErrorLog" setting is 0.
/// Nothing that goes wrong here reaches the caller.
void WriteLog(const QString &message);

/// `text` with every character whose ANSI code is below 32 or above 126
/// written as "<code>" ("\r\n" becomes "<13><10>").
QString MakePrintable(const QString &text);

/// The folder of the workstation's logs: gsLocalPath, else gsAppPath, else
/// (before the installation is known, or when it is the file system's root)
/// the user's own GetLocalAppFolder(). Empty when there is none at all.
QString localLogFolder();

/// The path of the error log for `day`: "<local log folder>Log<yymmdd>.txt"
/// (empty when there is no folder for logs).
QString errorLogPath(const QDate &day);

/// The time stamp that starts every line of the product's logs: "mmmdd hh:nn:ss ".
QString logTimeStamp(const QDateTime &when);

} // namespace modVNQRN
