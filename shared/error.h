#pragma once

#include <QString>

#include <exception>
#include <source_location>

namespace modVNQRN
{

/// The component name that errors raised by VN-Orvak itself carry as their source.
inline constexpr char16_t kErrorSource[] = u"VNOrvak";

/// Error numbers the product raises, with the run-time's customary meanings.
/// The texts are those `describeError()` returns; docs/errors.md lists them.
enum ErrorNumber : qint32 {
    errInvalidCall = 5,       ///< "Invalid procedure call or argument"
    errOverflow = 6,          ///< "Overflow"
    errOutOfMemory = 7,       ///< "Out of memory"
    errTypeMismatch = 13,     ///< "Type mismatch"
    errBadFileName = 52,      ///< "Bad file name or number"
    errFileNotFound = 53,     ///< "File not found"
    errFileExists = 58,       ///< "File already exists"
    errDiskFull = 61,         ///< "Disk full"
    errPermissionDenied = 70, ///< "Permission denied"
    errPathFileAccess = 75,   ///< "Path/File access error"
    errPathNotFound = 76,     ///< "Path not found"
    errObjectNotSet = 91,     ///< "Object variable or With block variable not set"
    errUnexpected = 440,      ///< "Automation error": a failure without a number of its own
};

/// The number of a failed file operation, from the system's `errno` value:
/// 61 when the disk is full, 70 when access is refused (also on a read-only
/// file system), 76 when a folder on the path is missing or is not a folder,
/// `otherwise` for anything else.
qint32 fileErrorNumber(int err, qint32 otherwise = errPathFileAccess);

/// The customary description of an error number ("Application-defined or
/// object-defined error" for numbers the table does not hold).
QString describeError(qint32 number);

/// A failure as the product reports it: the number, description and source of
/// the error, and the line of the statement that raised it. Thrown by members
/// of the control that fail; a host catches it as `modVNQRN::Error` (or as
/// `std::exception`, whose `what()` gives the description).
class Error : public std::exception
{
public:
    /// An error with the customary description of `number`, raised at the caller's line.
    explicit Error(qint32 number, std::source_location where = std::source_location::current());
    Error(qint32 number, QString description, QString source = QString::fromUtf16(kErrorSource),
          std::source_location where = std::source_location::current());

    qint32 number() const { return m_number; }
    const QString &description() const { return m_description; }
    const QString &source() const { return m_source; }
    /// The line of the statement that raised the error.
    qint32 line() const { return m_line; }

    const char *what() const noexcept override { return m_what.constData(); }

private:
    qint32 m_number;
    QString m_description;
    QString m_source;
    qint32 m_line;
    QByteArray m_what;
};

/// Converts the exception being handled (inside a catch block) into an Error:
/// an Error as it is, std::bad_alloc as "Out of memory", any other exception
/// as an "Automation error" carrying its text.
Error currentError(std::source_location where = std::source_location::current());

} // namespace modVNQRN
