#pragma once

#include <QString>

namespace modVNQRN
{

/// Profile (INI) files: the one way the product reads and writes settings.
///
/// `file` is a full path, or a bare file name that resolves in
/// systemProfileFolder(). Sections and keys match without regard to case and
/// the first match wins. Nothing here throws or reports: a file, section or
/// key that is missing, unreadable, not a regular file or larger than
/// kMaxProfileBytes reads as the default.

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
/// section and key as needed and keeping every other line as it was. The
/// file is replaced in one step (never left half written) and under a lock
/// ("<file>.lock") shared with every other program of the workstation.
/// Returns nonzero on success, 0 when nothing could be written (the file is
/// then unchanged).
int WriteProfileString(const QString &section, const QString &key, const QString &value,
                       const QString &file);

/// `text` without line feeds, carriage returns, tabs and backspaces, then
/// trimmed of leading and trailing blanks: a value can never start a new line
/// or key in the file.
QString CleanProfileValue(const QString &text);

/// The full path a profile-file argument names.
QString resolveProfilePath(const QString &file);

} // namespace modVNQRN
