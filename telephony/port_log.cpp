#include "port_log.h"

#include "shared/ansi_text.h"
#include "shared/clock.h"
#include "shared/environment.h"
#include "shared/error_log.h"

#include <QFile>

namespace VNOrvakTelephony
{

QString portLogPath(qint32 port)
{
    const QString folder = modVNQRN::localLogFolder();
    return folder.isEmpty() ? QString() : folder + u"Port" + QString::number(port) + u".txt";
}

void appendPortLog(qint32 port, const QString &text) noexcept
{
    try {
        const QString path = portLogPath(port);
        if (path.isEmpty())
            return;
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
            return;
        const QString line = modVNQRN::logTimeStamp(modVNQRN::appClock().now()) +
                             QString::fromUtf16(modVNQRN::kExeName) + u" - '" + text;
        file.write(modVNQRN::encodeAnsi(line) + "\r\n");
    } catch (...) {
        // A trace line is never worth failing a call for.
    }
}

} // namespace VNOrvakTelephony
