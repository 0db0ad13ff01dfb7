#include "error.h"

#include <cerrno>
#include <new>

namespace modVNQRN
{

QString describeError(qint32 number)
{
    switch (number) {
    case errInvalidCall:
        return QStringLiteral("Invalid procedure call or argument");
    case errOverflow:
        return QStringLiteral("Overflow");
    case errOutOfMemory:
        return QStringLiteral("Out of memory");
    case errTypeMismatch:
        return QStringLiteral("Type mismatch");
    case errBadFileName:
        return QStringLiteral("Bad file name or number");
    case errFileNotFound:
        return QStringLiteral("File not found");
    case errFileExists:
        return QStringLiteral("File already exists");
    case errDiskFull:
        return QStringLiteral("Disk full");
    case errPermissionDenied:
        return QStringLiteral("Permission denied");
    case errPathFileAccess:
        return QStringLiteral("Path/File access error");
    case errPathNotFound:
        return QStringLiteral("Path not found");
    case errObjectNotSet:
        return QStringLiteral("Object variable or With block variable not set");
    case errUnexpected:
        return QStringLiteral("Automation error");
    default:
        return QStringLiteral("Application-defined or object-defined error");
    }
}

qint32 fileErrorNumber(int err, qint32 otherwise)
{
    switch (err) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return errDiskFull;
    case EACCES:
    case EPERM:
    case EROFS:
        return errPermissionDenied;
    case ENOTDIR:
        return errPathNotFound;
    default:
        return otherwise;
    }
}

Error::Error(qint32 number, std::source_location where)
    : Error(number, describeError(number), QString::fromUtf16(kErrorSource), where)
{
}

Error::Error(qint32 number, QString description, QString source, std::source_location where)
    : m_number(number), m_description(std::move(description)), m_source(std::move(source)),
      m_line(static_cast<qint32>(where.line())), m_what(m_description.toUtf8())
{
}

Error currentError(std::source_location where)
{
    try {
        throw;
    } catch (const Error &e) {
        return e;
    } catch (const std::bad_alloc &) {
        return Error(errOutOfMemory, where);
    } catch (const std::exception &e) {
        return Error(errUnexpected, QString::fromLocal8Bit(e.what()),
                     QString::fromUtf16(kErrorSource), where);
    } catch (...) {
        return Error(errUnexpected, where);
    }
}

} // namespace modVNQRN
