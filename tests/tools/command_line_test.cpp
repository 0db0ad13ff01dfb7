// The programs' command lines, parsed without running them: a bad value is a
// clear error naming the option, never a silent 0 or a crash.

#include "host/host_options.h"
#include "vnmsg_args.h"
#include "workstation_options.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

TEST(CommandLineTest, VnworkstationNumbersAreCheckedAndNamed)
{
    const WorkstationOptions fine = parseWorkstationOptions(
        {u"--program"_s, u"VN-Test"_s, u"--seed"_s, u"4294967295"_s, u"--seconds"_s, u"60"_s,
         u"--poll-ms"_s, u"300"_s, u"--think-ms"_s, u"1"_s, u"--heartbeat-ms"_s, u"10"_s});
    EXPECT_TRUE(fine.error.isEmpty()) << qPrintable(fine.error);
    EXPECT_EQ(fine.program, u"VN-Test");
    EXPECT_EQ(fine.seed, 4294967295u);
    EXPECT_EQ(fine.seconds, 60);
    EXPECT_EQ(fine.pollMs, 300);
    EXPECT_EQ(fine.thinkMs, 1);
    EXPECT_EQ(fine.heartbeatMs, 10);

    const struct {
        QStringList args;
        QString error;
    } bad[] = {
        {{u"--seconds"_s, u"ten"_s}, u"--seconds wants a whole number from 0 to 86400, not ten"_s},
        {{u"--seconds"_s, u"86401"_s},
         u"--seconds wants a whole number from 0 to 86400, not 86401"_s},
        {{u"--seed"_s, u"-1"_s}, u"--seed wants a whole number from 0 to 4294967295, not -1"_s},
        {{u"--think-ms"_s, u"0"_s}, u"--think-ms wants a whole number from 1 to 86400000, not 0"_s},
        {{u"--heartbeat-ms"_s, u"5"_s},
         u"--heartbeat-ms wants a whole number from 10 to 86400000, not 5"_s},
        {{u"--poll-ms"_s}, u"Missing value after '--poll-ms'."_s},
        {{u"--colour"_s}, u"Unknown option 'colour'."_s},
        {{u"stray"_s}, u"unexpected argument stray"_s},
        {{u"--program"_s, QString()}, u"--program and --log want a value"_s},
    };
    for (const auto &c : bad) {
        SCOPED_TRACE(c.args.join(u' ').toStdString());
        EXPECT_EQ(parseWorkstationOptions(c.args).error, c.error);
    }
}

TEST(CommandLineTest, VnmsgAndVnhostRefuseWhatTheyCannotUse)
{
    const VnmsgArgs scan = parseVnmsgArgs(
        {u"scan"_s, u"/m"_s, u"--now"_s, u"2026-03-14 09:30:00"_s, u"--entity"_s, u"42"_s});
    EXPECT_TRUE(scan.error.isEmpty());
    EXPECT_EQ(scan.folder, u"/m");
    EXPECT_EQ(scan.entities, QStringList{u"42"_s});

    const struct {
        QStringList args;
        QString error;
    } bad[] = {
        {{u"scan"_s}, u"scan: which messages folder? (try vnmsg help)"_s},
        {{u"scan"_s, u"/m"_s, u"--now"_s, u"today"_s},
         u"scan: --now wants \"YYYY-MM-DD HH:MM:SS\", not today"_s},
        {{u"entities"_s, u"/m"_s, u"--entity"_s, u"1"_s}, u"entities: --entity belongs to scan"_s},
        {{u"make-demo"_s, QString()}, u"make-demo: the folder name is empty"_s},
        {{u"make-demo"_s, u"/d"_s, u"--time-scale"_s, u"inf"_s},
         u"make-demo: --time-scale wants a number above 0, not inf"_s},
        {{u"make-demo"_s, u"/d"_s, u"--time-scale"_s, u"nan"_s},
         u"make-demo: --time-scale wants a number above 0, not nan"_s},
        {{u"env"_s, u"--program"_s}, u"env: --program wants a value (try vnmsg env --help)"_s},
        {{u"list"_s, u"--entity"_s}, u"list: --entity wants a value (try vnmsg list --help)"_s},
        {{u"list"_s, u"--entity"_s, u"--json"_s},
         u"list: --entity wants a value (try vnmsg list --help)"_s},
        {{u"list"_s, u"--entity"_s, u"12a"_s},
         u"list: --entity wants an entity id (up to nine digits), not 12a"_s},
        {{u"scan"_s, u"/m"_s, u"--entity"_s, u"0000000042"_s},
         u"scan: --entity wants an entity id (up to nine digits), not 0000000042"_s},
        {{u"list"_s, u"/a"_s, u"/b"_s}, u"list: unexpected argument /b (try vnmsg list --help)"_s},
        {{u"list"_s, u"--new"_s, u"--heard"_s}, u"list: --new and --heard exclude each other"_s},
        {{u"list"_s, u"--json"_s, u"--csv"_s}, u"list: --json and --csv exclude each other"_s},
        {{u"list"_s, u"--colour"_s}, u"list: unknown option --colour (try vnmsg list --help)"_s},
        {{u"mark-heard"_s}, u"mark-heard: which message? (try vnmsg help)"_s},
        {{u"mark-new"_s, QString()}, u"mark-new: a message name is empty"_s},
        {{u"export"_s, u"NA000000001A"_s},
         u"export: where to? --wav OUT is missing (try vnmsg export --help)"_s},
        {{u"play"_s, u"NA000000001A"_s, u"NA000000001B"_s},
         u"play: unexpected argument NA000000001B (try vnmsg play --help)"_s},
        {{u"purge"_s}, u"purge: how old? --older-than DAYS is missing (try vnmsg purge --help)"_s},
        {{u"purge"_s, u"--older-than"_s, u"-1"_s},
         u"purge: --older-than wants whole days from 0 to 36500, not -1"_s},
        {{u"purge"_s, u"--older-than"_s, u"36501"_s},
         u"purge: --older-than wants whole days from 0 to 36500, not 36501"_s},
        {{u"log"_s, u"--since"_s, u"yesterday"_s},
         u"log: --since wants \"YYYY-MM-DD\" or \"YYYY-MM-DD HH:MM:SS\", not yesterday"_s},
        {{u"log"_s, u"--port"_s, u"x"_s},
         u"log: --port wants a port number from 0 to 9999, not x"_s},
        {{u"heard"_s, u"stray"_s}, u"heard: unexpected argument stray (try vnmsg heard --help)"_s},
        {{u"frobnicate"_s}, u"unknown command frobnicate (try vnmsg help)"_s},
        {{QString()}, u"the command is empty (try vnmsg help)"_s},
    };
    for (const auto &c : bad) {
        SCOPED_TRACE(c.args.join(u' ').toStdString());
        EXPECT_EQ(parseVnmsgArgs(c.args).error, c.error)
            << qPrintable(parseVnmsgArgs(c.args).error);
    }

    // What the commands take, as given.
    const VnmsgArgs list =
        parseVnmsgArgs({u"list"_s, u"--entity"_s, u"201"_s, u"--heard"_s, u"--csv"_s});
    EXPECT_TRUE(list.error.isEmpty()) << qPrintable(list.error);
    EXPECT_EQ(list.entity, u"000000201");
    EXPECT_TRUE(list.folder.isEmpty());
    EXPECT_EQ(list.states, VnmsgStates::Heard);
    EXPECT_EQ(list.format, VnmsgFormat::Csv);
    const VnmsgArgs mark = parseVnmsgArgs(
        {u"mark-new"_s, u"MA000000201A"_s, u"--dir"_s, u"/m"_s, u"--"_s, u"--odd"_s});
    EXPECT_EQ(mark.names, (QStringList{u"MA000000201A"_s, u"--odd"_s}));
    EXPECT_EQ(mark.folder, u"/m");
    const VnmsgArgs purge =
        parseVnmsgArgs({u"purge"_s, u"--dry-run"_s, u"--older-than"_s, u"0"_s, u"--include-new"_s});
    EXPECT_TRUE(purge.dryRun && purge.includeNew);
    EXPECT_EQ(purge.olderThanDays, 0);
    const VnmsgArgs log = parseVnmsgArgs({u"log"_s, u"--since"_s, u"2026-03-14"_s, u"--follow"_s});
    EXPECT_EQ(log.since, QDateTime(QDate(2026, 3, 14), QTime(0, 0)));
    EXPECT_TRUE(log.follow);
    // --help anywhere but as a value; --version.
    EXPECT_TRUE(parseVnmsgArgs({u"env"_s, u"--help"_s}).help);
    EXPECT_TRUE(parseVnmsgArgs({u"purge"_s, u"--older-than"_s, u"x"_s, u"-h"_s}).help);
    EXPECT_EQ(parseVnmsgArgs({u"env"_s, u"--program"_s, u"--help"_s}).error,
              u"env: --program wants a value (try vnmsg env --help)"_s);
    EXPECT_TRUE(parseVnmsgArgs({u"--version"_s}).version);

    EXPECT_EQ(VNOrvak::parseHostOptions({QString()}).error, u"the program name must not be empty");
    EXPECT_EQ(VNOrvak::parseHostOptions({u"VN-Desk"_s}).programName, u"VN-Desk");
}
