// Two workstations mark the same message heard at the same instant, on a real
// shared folder: a local folder, an SSH server mounted twice with sshfs, and
// a Samba server mounted twice with smbnetfs. The servers run on loopback,
// started here. Nothing may be lost or replaced, and exactly one workstation
// renames each message. And a control started after the share went away.

#include "control/heard_rename.h"
#include "control/message_control_core.h"

#include "support/recording_prompter.h"
#include "support/test_environment.h"

#include "shared/environment.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>

#include <cerrno>
#include <latch>
#include <map>
#include <thread>

using namespace VNOrvak;
using namespace Qt::StringLiterals;

namespace
{

struct RaceKind {
    const char *name;
    int trials;
};

class SharedFolderRace : public ::testing::TestWithParam<RaceKind>
{
protected:
    void SetUp() override
    {
        const QString kind = QString::fromUtf8(GetParam().name);
        if (kind == u"local") {
            server = ws.root() + u"messages/"_s;
            QDir().mkpath(server);
            mountA = mountB = server;
            return;
        }
        started = true;
        QProcess servers;
        servers.start(QStringLiteral(VNORVAK_SHARED_FOLDER_SERVERS), {kind, ws.root() + u"srv"});
        servers.waitForFinished(180000);
        const QString out = QString::fromLocal8Bit(servers.readAllStandardOutput()).trimmed();
        if (servers.exitCode() == 77)
            GTEST_SKIP() << kind.toStdString() << " server cannot run here: " << out.toStdString();
        ASSERT_EQ(servers.exitCode(), 0)
            << out.toStdString() << servers.readAllStandardError().toStdString();
        const QStringList lines = out.split(u'\n');
        ASSERT_EQ(lines.size(), 3) << out.toStdString();
        server = lines[0];
        mountA = lines[1];
        mountB = lines[2];
    }

    void TearDown() override
    {
        if (!started)
            return;
        QProcess stop;
        stop.start(QStringLiteral(VNORVAK_SHARED_FOLDER_SERVERS), {u"stop"_s, ws.root() + u"srv"});
        stop.waitForFinished(60000);
    }

    std::map<QString, QByteArray> serverFiles() const
    {
        std::map<QString, QByteArray> out;
        for (const QFileInfo &entry :
             QDir(server).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot))
            out[entry.fileName()] =
                entry.isDir() ? "<folder>" : TestWorkstation::readFile(entry.filePath());
        return out;
    }

    TestWorkstation ws;
    bool started = false;
    QString server, mountA, mountB;
};

// What `mount` shows of `file` once it shows it at all (a cache may take a
// moment to see a new file).
FileFacts factsWhenVisible(MessageFileSystem &fs, const QString &path)
{
    FileFacts facts;
    QElapsedTimer waited;
    waited.start();
    while (fs.stat(path, facts) != 0 && waited.elapsed() < 10000)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return facts;
}

const char *outcomeName(HeardMove m)
{
    static const char *const names[] = {
        "renamed", "heard_elsewhere", "gone", "newer_copy", "heard_name_taken", "busy", "failed"};
    return names[int(m)];
}

TEST_P(SharedFolderRace, TwoWorkstationsMarkingOneMessageLoseNothingAndReplaceNothing)
{
    std::map<std::string, int> tally;
    QElapsedTimer clock;
    clock.start();
    const int trials = GetParam().trials;
    for (int i = 1; i <= trials; ++i) {
        const QString name = u"NA"_s + QString::number(i).rightJustified(9, u'0') + u'A';
        const QString heard = u'M' + name.mid(1);
        const QByteArray contents = "message " + QByteArray::number(i) + QByteArray(i % 7, '.');
        TestWorkstation::writeFile(server + name + u".vox", contents);

        HeardMoveResult results[2];
        std::latch ready(2);
        auto workstation = [&](int k, QString mount) {
            MessageFileSystem fs;
            const FileFacts played = factsWhenVisible(fs, mount + name + u".vox");
            ready.arrive_and_wait();
            results[k] = moveToHeardName(mount, name, heard, played, fs);
        };
        std::thread a(workstation, 0, mountA);
        std::thread b(workstation, 1, mountB);
        a.join();
        b.join();

        SCOPED_TRACE("message " + std::to_string(i) + ": " + outcomeName(results[0].outcome) +
                     " / " + outcomeName(results[1].outcome) + " errno " +
                     std::to_string(results[0].error) + "/" + std::to_string(results[1].error));
        const auto files = serverFiles();
        std::string listing;
        for (const auto &[file, bytes] : files)
            if (file.contains(name.mid(2, 10)) || !file.endsWith(u".vox"))
                listing += file.toStdString() + "=" + bytes.toStdString() + " ";
        SCOPED_TRACE(listing);
        ASSERT_EQ(files.count(heard + u".vox"), 1u) << "message lost";
        EXPECT_EQ(files.at(heard + u".vox"), contents);
        EXPECT_EQ(files.count(name + u".vox"), 0u);
        EXPECT_EQ(files.size(), size_t(i)) << "a message under another name, or one missing";
        int renamed = 0;
        for (const HeardMoveResult &r : results) {
            ++tally[outcomeName(r.outcome)];
            renamed += r.outcome == HeardMove::Renamed;
            EXPECT_TRUE(r.outcome == HeardMove::Renamed || r.outcome == HeardMove::HeardElsewhere ||
                        r.outcome == HeardMove::Gone);
            EXPECT_TRUE(r.parked.isEmpty());
        }
        EXPECT_EQ(renamed, 1);
        if (HasFatalFailure())
            return;
    }
    std::string figures;
    for (const auto &[outcome, n] : tally)
        figures += " " + outcome + "=" + std::to_string(n);
    std::printf("%s: %d races in %lld ms:%s\n", GetParam().name, trials,
                static_cast<long long>(clock.elapsed()), figures.c_str());
}

// Two new messages whose names differ in the case of their ordering character
// alone (the telephone system writes them on the server's own disk), marked
// at the same instant: on a share that ignores case both heard names are
// one, and the second rename used to replace the first file.
TEST_P(SharedFolderRace, CaseTwinsMarkedAtOnceKeepBothMessages)
{
    std::map<std::string, int> tally;
    const int trials = GetParam().trials / 2;
    for (int i = 1; i <= trials; ++i) {
        const QString base = u"NA"_s + QString::number(500000 + i).rightJustified(9, u'0');
        const QString names[2] = {base + u'O', base + u'o'};
        const QByteArray contents[2] = {"upper " + QByteArray::number(i),
                                        "lower " + QByteArray::number(i) + "..."};
        for (int k : {0, 1})
            TestWorkstation::writeFile(server + names[k] + u".vox", contents[k]);

        HeardMoveResult results[2];
        std::latch ready(2);
        auto workstation = [&](int k, QString mount) {
            MessageFileSystem fs;
            const FileFacts played = factsWhenVisible(fs, mount + names[k] + u".vox");
            ready.arrive_and_wait();
            results[k] = moveToHeardName(mount, names[k], u'M' + names[k].mid(1), played, fs);
        };
        std::thread a(workstation, 0, mountA);
        std::thread b(workstation, 1, mountB);
        a.join();
        b.join();

        const auto files = serverFiles();
        std::string listing;
        std::map<QByteArray, int> found;
        for (const auto &[file, bytes] : files) {
            if (file.contains(base.mid(2)))
                listing += file.toStdString() + "=" + bytes.toStdString() + " ";
            ++found[bytes];
        }
        SCOPED_TRACE("twins " + std::to_string(i) + ": " + outcomeName(results[0].outcome) + " / " +
                     outcomeName(results[1].outcome) + " errno " +
                     std::to_string(results[0].error) + "/" + std::to_string(results[1].error) +
                     "; " + listing);
        for (int k : {0, 1}) {
            EXPECT_EQ(found[contents[k]], 1) << "message lost or doubled";
            const QString heard = u'M' + names[k].mid(1) + u".vox";
            const QString now =
                files.count(heard) && files.at(heard) == contents[k] ? heard : names[k] + u".vox";
            EXPECT_TRUE(files.count(now)) << "message " << k << " under another name";
            EXPECT_EQ(now == heard, results[k].outcome == HeardMove::Renamed);
            EXPECT_TRUE(results[k].outcome == HeardMove::Renamed ||
                        results[k].outcome == HeardMove::HeardNameTaken ||
                        results[k].outcome == HeardMove::Busy)
                << outcomeName(results[k].outcome);
            ++tally[outcomeName(results[k].outcome)];
        }
        EXPECT_EQ(files.size(), size_t(2 * i)) << "a claim, a parked file or a copy left behind";
        if (HasFailure())
            return;
    }
    std::string figures;
    for (const auto &[outcome, n] : tally)
        figures += " " + outcome + "=" + std::to_string(n);
    std::printf("%s: %d case twins:%s\n", GetParam().name, trials, figures.c_str());
}

// A workstation whose mount has just shown a new message learns from the
// server, not from its cache, that another workstation renamed it since.
TEST_P(SharedFolderRace, AMessageRenamedElsewhereIsFoundUnderItsHeardNameAtOnce)
{
    TestWorkstation::writeFile(server + u"NA000000800A.vox"_s, "heard elsewhere");
    TestWorkstation::writeFile(server + u"NA000000801A.vox"_s, "purged");
    MessageFileSystem fs;
    factsWhenVisible(fs, mountA + u"NA000000800A.vox"_s);
    factsWhenVisible(fs, mountA + u"NA000000801A.vox"_s);
    ASSERT_TRUE(QFileInfo(mountA + u"NA000000800A.vox"_s).isFile());
    ASSERT_TRUE(QFile::rename(server + u"NA000000800A.vox"_s, server + u"MA000000800A.vox"_s));
    ASSERT_TRUE(QFile::remove(server + u"NA000000801A.vox"_s));

    EXPECT_EQ(locateMessage(mountA, u"NA000000800A"_s, u"MA000000800A"_s, fs), MessagePlace::Heard);
    EXPECT_EQ(locateMessage(mountA, u"NA000000801A"_s, u"MA000000801A"_s, fs), MessagePlace::Gone);
    EXPECT_EQ(fs.lookUp(mountA + u"NA000000800A.vox"_s), ENOENT);
}

TEST_P(SharedFolderRace, AHeardNameDifferingInCaseAloneIsNeverReplaced)
{
    TestWorkstation::writeFile(server + u"nA000000900a.vox"_s, "the new one");
    TestWorkstation::writeFile(server + u"MA000000900A.vox"_s, "the heard one");
    MessageFileSystem fs;
    const FileFacts played = factsWhenVisible(fs, mountA + u"nA000000900a.vox"_s);
    const HeardMoveResult r =
        moveToHeardName(mountA, u"nA000000900a"_s, u"MA000000900a"_s, played, fs);

    // A share that ignores case refuses; one that does not gets two files.
    const auto files = serverFiles();
    QList<QByteArray> contents;
    for (const auto &[name, bytes] : files)
        contents << bytes;
    std::sort(contents.begin(), contents.end());
    EXPECT_EQ(contents, (QList<QByteArray>{"the heard one", "the new one"}));
    const HeardMove expected =
        files.count(u"nA000000900a.vox"_s) ? HeardMove::HeardNameTaken : HeardMove::Renamed;
    EXPECT_EQ(r.outcome, expected) << outcomeName(r.outcome);
}

INSTANTIATE_TEST_SUITE_P(Folders, SharedFolderRace,
                         ::testing::Values(RaceKind{"local", 300}, RaceKind{"sshfs", 100},
                                           RaceKind{"smb", 100}),
                         [](const ::testing::TestParamInfo<RaceKind> &info) {
                             return std::string(info.param.name);
                         });

// Its own suite: only on sshfs is the messages folder itself the mount point.
using UnmountedShare = SharedFolderRace;

// The share was seen with its messages, then unmounted; a control started
// now finds the bare mount point: an outage from its first poll, not an
// empty installation.
TEST_P(UnmountedShare, IsAnOutageFromTheFirstPollOfAControlStartedAfter)
{
    modVNQRN::gsLocalPath = ws.root();
    RecordingPrompter prompter;
    MessageFileSystem fs;
    TestWorkstation::writeFile(server + u"NA000000700A.vox"_s, "voice");
    ASSERT_TRUE(factsWhenVisible(fs, mountA + u"NA000000700A.vox"_s).known());
    {
        MessageControlCore seen;
        seen.setTimerEnabled(false);
        seen.store().msMsgDir = mountA;
        seen.tmrCalls_Timer();
        ASSERT_EQ(seen.store().mlMsgCnt, 1);
    }
    ASSERT_EQ(QProcess::execute(u"fusermount"_s, {u"-u"_s, mountA}), 0);

    MessageControlCore started;
    started.setTimerEnabled(false);
    started.store().msMsgDir = mountA;
    started.tmrCalls_Timer();
    EXPECT_TRUE(started.folderOutage());
    ASSERT_EQ(prompter.boxes.size(), 1);
    EXPECT_TRUE(prompter.boxes[0].text.contains(u"not on the file system its messages were"))
        << prompter.boxes[0].text.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Folders, UnmountedShare, ::testing::Values(RaceKind{"sshfs", 1}),
                         [](const ::testing::TestParamInfo<RaceKind> &info) {
                             return std::string(info.param.name);
                         });

} // namespace
