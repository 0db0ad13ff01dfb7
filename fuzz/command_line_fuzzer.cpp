// The command lines of vnmsg, vnworkstation and vnhost on arbitrary words
// (the input split at NUL bytes): parsing never fails, and a line it accepts
// holds only what the program can use.

#include "fuzz_support.h"

#include "host/host_options.h"
#include "vnmsg_args.h"
#include "workstation_options.h"

#include <QStringList>

#include <algorithm>
#include <cmath>
#include <limits>

namespace
{

QStringList wordsOf(const QByteArray &input)
{
    QStringList words;
    for (const QByteArray &word : input.split('\0'))
        words.append(QString::fromUtf8(word));
    if (input.isEmpty())
        words.clear();
    return words;
}

void checkVnmsg(const QStringList &args)
{
    const VnmsgArgs parsed = parseVnmsgArgs(args);
    // No words: the usage; an empty command word is an error, never taken for none.
    FUZZ_CHECK(args.isEmpty() == (parsed.command.isEmpty() && parsed.error.isEmpty()));
    if (!parsed.error.isEmpty() || parsed.help || parsed.command.isEmpty())
        return;
    const QString &c = parsed.command;
    if (parsed.version) {
        FUZZ_CHECK(c == u"version");
        return;
    }
    FUZZ_CHECK(vnmsgCommands().contains(c));
    if (c == u"scan" || c == u"entities")
        FUZZ_CHECK(!parsed.folder.isEmpty());
    if (c == u"entities")
        FUZZ_CHECK(parsed.entities.isEmpty());
    if (c == u"make-demo") {
        FUZZ_CHECK(!parsed.demo.folder.isEmpty());
        FUZZ_CHECK(std::isfinite(parsed.demo.timeScale) && parsed.demo.timeScale > 0);
    }
    // An entity filter is always nine digits.
    FUZZ_CHECK(parsed.entity.isEmpty() ||
               (parsed.entity.size() == 9 &&
                std::all_of(parsed.entity.begin(), parsed.entity.end(),
                            [](QChar ch) { return ch >= u'0' && ch <= u'9'; })));
    const bool named = c == u"mark-heard" || c == u"mark-new" || c == u"export" || c == u"play";
    FUZZ_CHECK(named ? !parsed.names.isEmpty() : parsed.names.isEmpty());
    for (const QString &name : parsed.names)
        FUZZ_CHECK(!name.isEmpty());
    if (c == u"export" || c == u"play")
        FUZZ_CHECK(parsed.names.size() == 1);
    FUZZ_CHECK((c == u"export") == !parsed.wavFile.isEmpty());
    FUZZ_CHECK(c == u"purge" ? parsed.olderThanDays >= 0 && parsed.olderThanDays <= 36500
                             : parsed.olderThanDays == -1);
    FUZZ_CHECK(parsed.port >= -1 && parsed.port <= 9999);
    FUZZ_CHECK(!parsed.follow || c == u"log");
    FUZZ_CHECK(!parsed.since.isValid() || c == u"log" || c == u"heard");
}

void checkWorkstation(const QStringList &args)
{
    const WorkstationOptions o = parseWorkstationOptions(args);
    if (!o.error.isEmpty() || o.help)
        return;
    FUZZ_CHECK(!o.program.isEmpty() && !o.log.isEmpty());
    FUZZ_CHECK(o.seconds >= 0 && o.seconds <= 24 * 3600);
    FUZZ_CHECK(o.pollMs >= 0 && o.thinkMs >= 1 && o.heartbeatMs >= 10);
    // Run time and intervals must fit the timers' milliseconds.
    FUZZ_CHECK(qint64(o.seconds) * 1000 <= std::numeric_limits<int>::max());
}

void checkHost(const QStringList &args)
{
    const VNOrvak::HostOptions o = VNOrvak::parseHostOptions(args);
    if (!o.error.isEmpty() || o.help)
        return;
    FUZZ_CHECK(!o.programName.isEmpty());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzWorkstation::instance();
    const QStringList words = wordsOf(bytesOf(data, size));
    checkVnmsg(words);
    checkWorkstation(words);
    checkHost(words);
    return 0;
}
