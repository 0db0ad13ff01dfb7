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
        {{u"make-demo"_s, u"/d"_s, u"--time-scale"_s, u"inf"_s},
         u"make-demo: --time-scale wants a number above 0, not inf"_s},
        {{u"make-demo"_s, u"/d"_s, u"--time-scale"_s, u"nan"_s},
         u"make-demo: --time-scale wants a number above 0, not nan"_s},
        {{u"env"_s, u"--program"_s}, u"env: unknown argument --program"_s},
        {{u"frobnicate"_s}, u"unknown command frobnicate (try vnmsg help)"_s},
        {{QString()}, u"the command is empty (try vnmsg help)"_s},
    };
    for (const auto &c : bad) {
        SCOPED_TRACE(c.args.join(u' ').toStdString());
        EXPECT_EQ(parseVnmsgArgs(c.args).error, c.error);
    }

    EXPECT_EQ(VNOrvak::parseHostOptions({QString()}).error, u"the program name must not be empty");
    EXPECT_EQ(VNOrvak::parseHostOptions({u"VN-Desk"_s}).programName, u"VN-Desk");
}
