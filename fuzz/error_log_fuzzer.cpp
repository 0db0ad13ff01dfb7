// The error log on arbitrary messages: the printable form holds only
// printable ASCII, and the pieces a long line is wrapped into join back into
// exactly that line, each piece short.

#include "fuzz_support.h"

#include "shared/clock.h"
#include "shared/environment.h"
#include "shared/error_log.h"
#include "shared/profile.h"

#include <QFile>
#include <QStringList>

using namespace modVNQRN;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const bool logOn = [] {
        FuzzWorkstation::instance();
        return WriteProfileString(QStringLiteral("Zuzidivuz"), QStringLiteral("ErrorLog"),
                                  QStringLiteral("1"), gsLocalIni) != 0;
    }();
    FUZZ_CHECK(logOn);
    const QByteArray bytes = bytesOf(data, size);
    // Both readings of the bytes: as UTF-8 and as Latin-1.
    const QString message = (size % 2) ? QString::fromUtf8(bytes) : QString::fromLatin1(bytes);

    const QString printable = MakePrintable(message);
    for (const QChar ch : printable)
        FUZZ_CHECK(ch.unicode() >= 32 && ch.unicode() <= 126);

    const QString path = errorLogPath(appClock().now().date());
    QFile::remove(path);
    WriteLog(message);
    QFile file(path);
    FUZZ_CHECK(file.open(QIODevice::ReadOnly));
    const QByteArray written = file.readAll();
    FUZZ_CHECK(written.endsWith("\r\n"));
    QList<QByteArray> lines = written.chopped(2).split('\n');
    QString joined;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QString piece = QString::fromLatin1(lines[i]);
        if (i + 1 < lines.size()) {
            FUZZ_CHECK(piece.endsWith(u"\r"));
            piece.chop(1);
        }
        // A piece ends after 100 characters, or after the first line-break
        // marker wherever that is.
        if (piece.size() > 100 + 4 + 1)
            FUZZ_CHECK(piece.contains(u"<13>") || piece.contains(u"<10>"));
        if (i > 0) {
            FUZZ_CHECK(piece.startsWith(u"   '"));
            piece = piece.mid(4);
        }
        if (i + 1 < lines.size()) {
            FUZZ_CHECK(piece.endsWith(u'\''));
            piece.chop(1);
        }
        joined += piece;
    }
    const qsizetype start = joined.indexOf(u" - '");
    FUZZ_CHECK(start > 0);
    FUZZ_CHECK(joined.mid(start + 4) == printable + u'\'');
    return 0;
}
