#pragma once

#include <QList>
#include <QString>

#include <utility>

namespace modVNQRN
{

/// Profile (INI) files: the one way the product reads and writes settings.
/// Files may be ANSI/UTF-8, UTF-8 with a byte order mark, or UTF-16 with one
/// (profile_encoding.h).
///
/// `file` is a full path, or a bare file name that resolves in
/// systemProfileFolder(). Sections and keys match without regard to case and
/// the first match wins. Nothing here throws, and reads report nothing: a file, section or
/// key that is missing, unreadable, not a regular file or larger than
/// kMaxProfileBytes reads as the default (profileReadProblem() tells why).

/// The longest a write waits for another program's lock on the file.
inline constexpr qint64 kProfileLockWaitMs = 2000;

/// Profile files larger than this are not settings files: reads give the
/// default and writes refuse to touch them.
inline constexpr qint64 kMaxProfileBytes = 8 * 1024 * 1024;

/// The value of `key` in `section` of `file` (at most 254 characters), or
/// `defaultValue` when the file, the section or the key is missing.
QString ReadProfileString(const QString &section, const QString &key, const QString &defaultValue,
                          const QString &file);

/// The value read as a decimal integer from its leading digits (an optional
/// sign first; "0x" is no base prefix; beyond 32 bits it saturates). A value
/// that does not begin with a digit reads as 0; a missing key as `defaultValue`.
qint32 ReadProfileInt(const QString &section, const QString &key, qint32 defaultValue,
                      const QString &file);

/// Writes CleanProfileValue(value) as the value of `key`, creating the file,
/// section and key as needed and keeping every other line, the file's
/// encoding and its line ends as they were. The file is replaced in one step
/// (never left half written) and under a lock ("<file>.lock") shared with
/// every other program of the workstation, waited for at most
/// kProfileLockWaitMs. Returns nonzero on success; 0 when nothing could be
/// written (the file is then unchanged), which is reported (ReportError).
int WriteProfileString(const QString &section, const QString &key, const QString &value,
                       const QString &file);

/// Writes several keys of one section in one step, as WriteProfileString does
/// one: all of them or, on failure, none.
int WriteProfileStrings(const QString &section, const QList<std::pair<QString, QString>> &entries,
                        const QString &file);

/// Why `file` cannot be read as a settings file ("Permission denied", "it is
/// not a file"), or empty text when it is missing or can be read.
QString profileReadProblem(const QString &file);

/// `text` without line feeds, carriage returns, tabs and backspaces, then
/// trimmed of leading and trailing blanks: a value can never start a new line
/// or key in the file.
QString CleanProfileValue(const QString &text);

/// The full path a profile-file argument names.
QString resolveProfilePath(const QString &file);

} // namespace modVNQRN
