// vnmsg run as an administrator runs it, on generated installations: what
// each command prints, its exit status, and what it leaves in the folder.

#include "control/heard_log.h"
#include "message_folder.h"
#include "monitor_capture.h"
#include "pulse_null_sink.h"
#include "support/test_environment.h"

#include "shared/modVNQRN.h"
#include "telephony/port_log.h"
#include "telephony/vox_decoder.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <sys/mount.h>

using namespace Qt::StringLiterals;

namespace
{

struct Outcome {
    int code = -1;
    QString out;
    QString err;
};

QProcess *start(const QStringList &args, const QProcessEnvironment &env)
{
    auto *process = new QProcess;
    process->setProcessEnvironment(env);
    process->start(QStringLiteral(VNMSG_PATH), args);
    return process;
}

Outcome finish(QProcess *process)
{
    Outcome run;
    process->waitForFinished(60000);
    run.code = process->exitStatus() == QProcess::NormalExit ? process->exitCode() : -1;
    run.out = QString::fromUtf8(process->readAllStandardOutput());
    run.err = QString::fromUtf8(process->readAllStandardError());
    delete process;
    return run;
}

const QDateTime kOld(QDate(2020, 1, 6), QTime(10, 0));
const QDateTime kCall(QDate(2026, 3, 14), QTime(9, 30));

class VnmsgTest : public ::testing::Test
{
protected:
    VnmsgTest()
    {
        ws.writeLocalIni("");
        QDir().mkpath(messages());
        // No audio server: the sound card is missing, whatever runs on the machine.
        env.insert(u"PULSE_SERVER"_s, u"unix:/nonexistent"_s);
    }

    Outcome vnmsg(const QStringList &args) { return finish(start(args, env)); }
    QString messages() const { return ws.messagesFolder(); }
    QString dataFolder() const { return ws.root() + u"inst/VNT/Data/"; }
    void message(const QString &name, const QDateTime &when = kCall,
                 const QByteArray &bytes = QByteArray(4000, 'x'))
    {
        writeMessageFile(messages(), name, when, bytes);
    }
    bool exists(const QString &name) const { return QFile::exists(messages() + name); }

    TestWorkstation ws;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
};

TEST_F(VnmsgTest, ListShowsEachMessageByEntityAndOtherNamesApart)
{
    message(u"NA000000305A.vox"_s);
    message(u"MA000000201B.vox"_s, kCall.addDays(-1), QByteArray(48000, 'x'));
    message(u"NA000000201A.vox"_s);
    message(u"NA000000201A.wav"_s);
    QDir().mkpath(messages() + u"NA000000999A.vox"); // a folder: no message
    const Outcome table = vnmsg({u"list"_s});
    ASSERT_EQ(table.code, 0) << qPrintable(table.err);
    EXPECT_EQ(table.out,
              u"Entity     State  Call date            Length        Size  Name\n"
              "000000201  new    2026-03-14 09:30:00     0:01        4000  NA000000201A\n"
              "000000201  heard  2026-03-13 09:30:00     0:12       48000  MA000000201B\n"
              "000000305  new    2026-03-14 09:30:00     0:01        4000  NA000000305A\n"
              "Messages=3 OtherNames=1\n"
              "Other \"NA000000201A.wav\"\n"_s);

    const Outcome json = vnmsg({u"list"_s, messages(), u"--entity"_s, u"201"_s, u"--json"_s});
    const QJsonObject doc = QJsonDocument::fromJson(json.out.toUtf8()).object();
    const QJsonArray rows = doc[u"messages"].toArray();
    ASSERT_EQ(rows.size(), 2) << qPrintable(json.out);
    EXPECT_EQ(rows[1][u"name"].toString(), u"MA000000201B");
    EXPECT_EQ(rows[1][u"state"].toString(), u"heard");
    EXPECT_EQ(rows[1][u"callDate"].toString(), u"2026-03-13 09:30:00");
    EXPECT_EQ(rows[1][u"seconds"].toDouble(), 12.0);
    EXPECT_EQ(rows[1][u"size"].toInt(), 48000);
    EXPECT_TRUE(doc[u"otherNames"].toArray().isEmpty()); // narrowed to an entity

    // Filters and formats.
    const struct {
        QStringList args;
        QStringList lines;
    } cases[] = {
        {{u"--new"_s, u"--csv"_s},
         {u"entity,state,call_date,length,size,name"_s,
          u"000000201,new,2026-03-14 09:30:00,0:01,4000,NA000000201A"_s,
          u"000000305,new,2026-03-14 09:30:00,0:01,4000,NA000000305A"_s}},
        {{u"--csv"_s, u"--heard"_s},
         {u"entity,state,call_date,length,size,name"_s,
          u"000000201,heard,2026-03-13 09:30:00,0:12,48000,MA000000201B"_s}},
        {{u"--csv"_s, u"--entity"_s, u"999"_s}, {u"entity,state,call_date,length,size,name"_s}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.args.join(u' ').toStdString());
        const Outcome run = vnmsg(QStringList{u"list"_s} + c.args);
        EXPECT_EQ(run.out.trimmed().split(u'\n'), c.lines);
    }
    EXPECT_TRUE(vnmsg({u"list"_s, u"--csv"_s}).out.endsWith(u",other,,,,NA000000201A.wav\n"));
}

TEST_F(VnmsgTest, AMissingFolderOrInstallationOrABadLineHasItsOwnExitStatus)
{
    TestWorkstation::writeFile(ws.root() + u"afile"_s, "x");
    const struct {
        QStringList args;
        int code;
        QString err;
        bool installed = true;
    } cases[] = {
        {{u"list"_s, ws.root() + u"missing"_s}, 3, u"does not exist"_s},
        {{u"list"_s, ws.root() + u"afile"_s}, 3, u"is not a folder"_s},
        {{u"mark-heard"_s, u"NA000000201A"_s, u"--dir"_s, ws.root() + u"missing"_s},
         3,
         u"does not exist"_s},
        {{u"list"_s}, 3, u"no installation found"_s, false},
        {{u"mark-new"_s, u"MA000000201A"_s}, 3, u"no installation found"_s, false},
        {{u"purge"_s, u"--older-than"_s, u"1"_s}, 3, u"no installation found"_s, false},
        {{u"heard"_s}, 3, u"no installation found"_s, false},
        {{u"env"_s}, 3, u"no installation found"_s, false},
        {{u"frobnicate"_s}, 2, u"unknown command"_s},
        {{}, 2, u"usage: vnmsg"_s},
        {{u"export"_s, u"NA000000201A"_s, u"--wav"_s, ws.root() + u"x.wav"_s},
         1,
         u"File not found"_s},
        {{u"play"_s, u"bogus"_s}, 1, u"bogus is not a message name"_s},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.args.join(u' ').toStdString());
        if (!c.installed)
            QFile::remove(ws.localIni());
        const Outcome run = vnmsg(c.args);
        EXPECT_EQ(run.code, c.code) << qPrintable(run.out + run.err);
        EXPECT_TRUE(run.err.contains(c.err)) << qPrintable(run.err);
        ws.writeLocalIni("");
    }
}

TEST_F(VnmsgTest, MarkingFollowsTheControlsRulesOneLineAName)
{
    message(u"NA000000201A.vox"_s);
    message(u"MA000000201B.vox"_s);
    message(u"NA000000202A.vox"_s, kCall, "mine");
    message(u"MA000000202A.vox"_s, kCall, "another message");
    message(u"MA000000203A.vox"_s);
    const Outcome heard = vnmsg({u"mark-heard"_s, u"NA000000201A"_s, u"MA000000201B.vox"_s,
                                 u"NA000000202A"_s, u"NA000000204A"_s, u"NA0001.vox"_s});
    EXPECT_EQ(heard.code, 1);
    EXPECT_EQ(heard.out, u"NA000000201A: marked heard (now MA000000201A)\n"
                         "MA000000201B.vox: already heard\n"
                         "NA000000202A: stays new: another message already has the name "
                         "MA000000202A\n"
                         "NA000000204A: no such message\n"
                         "NA0001.vox: not a message name\n"_s);
    EXPECT_TRUE(exists(u"MA000000201A.vox"_s) && !exists(u"NA000000201A.vox"_s));
    EXPECT_EQ(TestWorkstation::readFile(messages() + u"MA000000202A.vox"), "another message");
    EXPECT_EQ(TestWorkstation::readFile(messages() + u"NA000000202A.vox"), "mine");

    const Outcome fresh = vnmsg({u"mark-new"_s, u"MA000000203A"_s, u"MA000000201A"_s,
                                 u"NA000000202A"_s, u"--dir"_s, messages()});
    EXPECT_EQ(fresh.code, 0) << qPrintable(fresh.out);
    EXPECT_EQ(fresh.out, u"MA000000203A: marked new (now NA000000203A)\n"
                         "MA000000201A: marked new (now NA000000201A)\n"
                         "NA000000202A: already new\n"_s);
    EXPECT_TRUE(exists(u"NA000000203A.vox"_s) && !exists(u"MA000000203A.vox"_s));

    // The marks made are in this workstation's heard log, by program "vnmsg".
    const Outcome log = vnmsg({u"heard"_s, u"--json"_s});
    QStringList marks;
    for (const QJsonValue mark :
         QJsonDocument::fromJson(log.out.toUtf8()).object()[u"marks"].toArray())
        marks << mark[u"program"].toString() + u' ' + mark[u"message"].toString() + u' ' +
                     mark[u"outcome"].toString();
    EXPECT_EQ(marks,
              (QStringList{u"vnmsg NA000000201A Renamed"_s, u"vnmsg MA000000203A MarkedNew"_s,
                           u"vnmsg MA000000201A MarkedNew"_s}));
}

TEST_F(VnmsgTest, TwoProcessesMarkingOneMessageRenameItOnce)
{
    for (int round = 0; round < 20; ++round) {
        const QString newName = u"NA%1A"_s.arg(300 + round, 9, 10, QLatin1Char('0'));
        const QString heardName = u'M' + newName.mid(1);
        message(newName + u".vox");
        for (const QString &command : {u"mark-heard"_s, u"mark-new"_s}) {
            const QString word = command == u"mark-heard" ? newName : heardName;
            QProcess *a = start({command, word}, env);
            QProcess *b = start({command, word}, env);
            const Outcome first = finish(a);
            const Outcome second = finish(b);
            SCOPED_TRACE(QString(command + u": " + first.out + second.out).toStdString());
            EXPECT_EQ(first.code, 0);
            EXPECT_EQ(second.code, 0);
            EXPECT_EQ(int(first.out.contains(u"marked")) + int(second.out.contains(u"marked")), 1);
            EXPECT_EQ(int(first.out.contains(u"already")) + int(second.out.contains(u"already")),
                      1);
            const bool heard = command == u"mark-heard";
            EXPECT_EQ(exists(heardName + u".vox"), heard);
            EXPECT_EQ(exists(newName + u".vox"), !heard);
        }
    }
}

TEST_F(VnmsgTest, AReadOnlyFolderLosesNothing)
{
    const QString folder = ws.root() + u"ro/"_s;
    QDir().mkpath(folder);
    const QByteArray path = QFile::encodeName(folder);
    if (::mount("tmpfs", path.constData(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "cannot mount a file system here (" << std::strerror(errno)
                     << "): run as root";
    struct Unmount {
        QByteArray path;
        ~Unmount() { ::umount(path.constData()); }
    } unmount{path};
    writeMessageFile(folder, u"NA000000201A.vox"_s, kOld);
    writeMessageFile(folder, u"MA000000202A.vox"_s, kOld);
    ASSERT_EQ(::mount("tmpfs", path.constData(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=1m"), 0);

    const Outcome mark = vnmsg({u"mark-heard"_s, u"NA000000201A"_s, u"--dir"_s, folder});
    EXPECT_EQ(mark.code, 1);
    EXPECT_EQ(mark.out, u"NA000000201A: cannot rename it: Read-only file system\n");
    const Outcome purge = vnmsg({u"purge"_s, u"--older-than"_s, u"0"_s, u"--dir"_s, folder});
    EXPECT_EQ(purge.code, 1);
    EXPECT_TRUE(purge.out.startsWith(u"kept MA000000202A: Read-only file system\n"))
        << qPrintable(purge.out);
    EXPECT_EQ(vnmsg({u"list"_s, folder}).code, 0);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files),
              (QStringList{u"MA000000202A.vox"_s, u"NA000000201A.vox"_s}));
}

// A share unmounted since vnmsg last saw its messages leaves the bare mount
// point, which is no empty installation.
TEST_F(VnmsgTest, TheMountPointOfAShareNotMountedIsAMissingFolder)
{
    const QString folder = ws.root() + u"share/"_s;
    QDir().mkpath(folder);
    const QByteArray path = QFile::encodeName(folder);
    if (::mount("tmpfs", path.constData(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "cannot mount a file system here (" << std::strerror(errno)
                     << "): run as root";
    writeMessageFile(folder, u"NA000000201A.vox"_s, kOld);
    EXPECT_EQ(vnmsg({u"list"_s, folder}).code, 0);
    // Remembered beside it, not in its place.
    const QString other = ws.root() + u"other folder/"_s;
    writeMessageFile(other, u"NA000000202A.vox"_s, kOld);
    EXPECT_EQ(vnmsg({u"list"_s, other}).code, 0);
    ASSERT_EQ(::umount(path.constData()), 0);

    for (const QStringList &args :
         {QStringList{u"list"_s, folder}, QStringList{u"scan"_s, folder}}) {
        const Outcome run = vnmsg(args);
        EXPECT_EQ(run.code, 3) << qPrintable(run.out + run.err);
        EXPECT_TRUE(run.err.contains(u"(a share that is not mounted)")) << qPrintable(run.err);
    }
    // A folder never seen with messages cannot be judged: an empty installation.
    const QString fresh = ws.root() + u"fresh/"_s;
    QDir().mkpath(fresh);
    EXPECT_EQ(vnmsg({u"list"_s, fresh}).code, 0);
}

TEST_F(VnmsgTest, ExportWritesTheDecodedMessageAndReplacesNothing)
{
    ws.writeLocalIni("[VoiceBoard]\nVoxRate=6000\n");
    QList<qint16> samples;
    for (int i = 0; i < 6000; ++i)
        samples << qint16((i % 60) * 400 - 12000);
    const QByteArray vox = VoiceBocxLib::encodeVox(samples, 6000);
    message(u"NA000000201A.vox"_s, kCall, vox);
    const QString out = ws.root() + u"201.wav"_s;
    const Outcome run = vnmsg({u"export"_s, u"NA000000201A.vox"_s, u"--wav"_s, out});
    ASSERT_EQ(run.code, 0) << qPrintable(run.err);
    EXPECT_EQ(run.out, u"Wrote " + out + u": 6000 samples at 6000 Hz (0:01)\n");

    const QByteArray wav = TestWorkstation::readFile(out);
    ASSERT_GT(wav.size(), 44);
    EXPECT_TRUE(wav.startsWith("RIFF") && wav.mid(8, 4) == "WAVE");
    const auto u16 = [&](int at) { return qFromLittleEndian<quint16>(wav.constData() + at); };
    const auto u32 = [&](int at) { return qFromLittleEndian<quint32>(wav.constData() + at); };
    EXPECT_EQ(u16(20), 1); // PCM
    EXPECT_EQ(u16(22), 1); // mono
    EXPECT_EQ(u32(24), 6000u);
    EXPECT_EQ(u16(34), 16);
    const qsizetype data = wav.indexOf("data") + 8;
    const VoiceBocxLib::PcmAudio decoded = VoiceBocxLib::decodeVoxBytes(vox, 6000);
    ASSERT_EQ(wav.size() - data, decoded.samples.size() * 2);
    EXPECT_EQ(
        std::memcmp(wav.constData() + data, decoded.samples.constData(), size_t(wav.size() - data)),
        0);

    // Never over an existing file.
    const Outcome again = vnmsg({u"export"_s, u"NA000000201A"_s, u"--wav"_s, out});
    EXPECT_EQ(again.code, 1);
    EXPECT_TRUE(again.err.contains(u"exists; it is not replaced"));
    EXPECT_EQ(TestWorkstation::readFile(out), wav);
    EXPECT_EQ(QDir(ws.root()).entryList({u"201.wav*"_s}), QStringList{u"201.wav"_s});
}

TEST_F(VnmsgTest, PlayUsesTheSoundCardAndSaysWhenThereIsNone)
{
    QList<qint16> tone;
    for (int i = 0; i < 8000; ++i)
        tone << qint16(i % 16 < 8 ? 8000 : -8000);
    message(u"NA000000201A.vox"_s, kCall, VoiceBocxLib::encodeVox(tone));
    const Outcome none = vnmsg({u"play"_s, u"NA000000201A"_s});
    EXPECT_EQ(none.code, 1);
    EXPECT_TRUE(none.err.contains(u"vnmsg: play: No sound card is installed"))
        << qPrintable(none.err);

    PulseNullSink sink;
    if (!sink.start())
        GTEST_SKIP() << "no PulseAudio server here: " << qPrintable(sink.failure());
    env = QProcessEnvironment::systemEnvironment(); // the sink's server
    MonitorCapture capture;
    ASSERT_TRUE(capture.start() && capture.waitForFlow());
    const Outcome played = vnmsg({u"play"_s, u"NA000000201A"_s});
    capture.stop();
    EXPECT_EQ(played.code, 0) << qPrintable(played.err);
    EXPECT_EQ(played.out, u"Played " + messages() + u"NA000000201A.vox (0:01)\n");
    const QVector<qint16> &heard = capture.samples();
    EXPECT_GT(
        std::count_if(heard.begin(), heard.end(), [](qint16 v) { return std::abs(v) > 2000; }),
        4000);
    EXPECT_TRUE(exists(u"NA000000201A.vox"_s)); // not marked
}

TEST_F(VnmsgTest, PurgeRemovesOnlyOldMessagesAndNeverAMarkInProgress)
{
    message(u"MA000000201A.vox"_s, kOld);
    message(u"MA000000201B.vox"_s, QDateTime::currentDateTime().addDays(-2));
    message(u"NA000000202A.vox"_s, kOld);
    message(u"NA000000203A.heard-desk3-77-1.vox"_s, kOld); // parked by a mark
    message(u"NA000000203A.wav"_s, kOld);
    const auto files = [&] { return QDir(messages()).entryList(QDir::Files); };
    const QStringList all = files();

    const Outcome dry = vnmsg({u"purge"_s, u"--older-than"_s, u"3"_s, u"--dry-run"_s});
    EXPECT_EQ(dry.code, 0);
    EXPECT_TRUE(dry.out.startsWith(
        u"would remove MA000000201A (heard, called 2020-01-06 10:00:00, 4000 bytes)\n"
        "Would remove 1 message(s)"_s))
        << qPrintable(dry.out);
    EXPECT_EQ(files(), all);

    EXPECT_EQ(vnmsg({u"purge"_s, u"--older-than"_s, u"3"_s}).code, 0);
    EXPECT_FALSE(exists(u"MA000000201A.vox"_s));
    EXPECT_EQ(vnmsg({u"purge"_s, u"--older-than"_s, u"1"_s, u"--include-new"_s}).code, 0);
    EXPECT_EQ(files(),
              (QStringList{u"NA000000203A.heard-desk3-77-1.vox"_s, u"NA000000203A.wav"_s}));
    const Outcome log = vnmsg({u"log"_s});
    EXPECT_EQ(log.out.count(u"vnmsg purge removed"), 3) << qPrintable(log.out);
}

TEST_F(VnmsgTest, LogJoinsWrappedEntriesAndFollowsNewOnes)
{
    modVNQRN::InitEnvironment(u"VN"_s);
    const QString path = u"/srv/a/rather/long/path/to/a/messages/folder/that/the/log/wraps/"
                         "somewhere/NA000000201A.vox"_s;
    modVNQRN::WriteLog(u"Cannot rename " + path + u": Permission denied");
    TestWorkstation::writeFile(modVNQRN::errorLogPath(QDate::currentDate().addDays(-1)),
                               "Jan01 00:00:00 VN-Orvak - 'yesterday'\r\n");
    ASSERT_TRUE(TestWorkstation::readFile(modVNQRN::errorLogPath(QDate::currentDate()))
                    .contains("\r\n   '"));

    const QStringList all = vnmsg({u"log"_s}).out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(all.size(), 2);
    EXPECT_TRUE(all[0].endsWith(u"'yesterday'"));
    EXPECT_TRUE(all[1].endsWith(u"'Cannot rename " + path + u": Permission denied'"))
        << qPrintable(all[1]);
    const Outcome today =
        vnmsg({u"log"_s, u"--since"_s, QDate::currentDate().toString(Qt::ISODate)});
    EXPECT_EQ(today.out.count(u'\n'), 1);

    VNOrvakTelephony::appendPortLog(1, u"Connection succeeded"_s);
    EXPECT_TRUE(vnmsg({u"log"_s, u"--port"_s, u"1"_s}).out.endsWith(u"- 'Connection succeeded\n"));

    // --follow prints an entry written later, joined.
    QProcess *follow = start({u"log"_s, u"--follow"_s}, env);
    QString seen;
    const auto waitFor = [&](const QString &text) {
        for (int i = 0; i < 100 && !seen.contains(text); ++i) {
            follow->waitForReadyRead(200);
            seen += QString::fromUtf8(follow->readAllStandardOutput());
        }
        return seen.contains(text);
    };
    ASSERT_TRUE(waitFor(u"Permission denied'"_s));
    modVNQRN::WriteLog(u"Later: " + path + path);
    EXPECT_TRUE(waitFor(u"'Later: " + path + path + u"'\n")) << qPrintable(seen);
    follow->kill();
    finish(follow);
}

TEST_F(VnmsgTest, HeardMergesTheWorkstationsLogs)
{
    const auto line = [](const char *time, const char *host, const char *name) {
        VNOrvak::HeardLogEntry e{QDateTime::fromString(QString::fromLatin1(time), Qt::ISODate),
                                 QString::fromLatin1(host),
                                 u"VN-Desk"_s,
                                 QString::fromLatin1(name).mid(2, 9),
                                 QString::fromLatin1(name),
                                 u"Renamed"_s};
        return VNOrvak::formatHeardLogLine(e);
    };
    const QString folder = VNOrvak::heardLogFolder(dataFolder());
    TestWorkstation::writeFile(folder + u"desk3-VN-Desk.txt",
                               line("2026-03-14T08:00:00Z", "desk3", "NA000000201A") +
                                   line("2026-03-14T10:00:00Z", "desk3", "NA000000305A") +
                                   "2026-03-14T11:00:00Z\tcut short");
    TestWorkstation::writeFile(folder + u"desk5-VN-Desk.txt",
                               line("2026-03-13T09:00:00Z", "desk5", "NA000000201B"));

    const auto messagesOf = [&](const QStringList &args) {
        QStringList names;
        const QJsonDocument doc = QJsonDocument::fromJson(
            vnmsg(QStringList{u"heard"_s, u"--json"_s} + args).out.toUtf8());
        for (const QJsonValue mark : doc.object()[u"marks"].toArray())
            names << mark[u"host"].toString() + u' ' + mark[u"message"].toString();
        return names;
    };
    EXPECT_EQ(messagesOf({}), (QStringList{u"desk5 NA000000201B"_s, u"desk3 NA000000201A"_s,
                                           u"desk3 NA000000305A"_s}));
    EXPECT_EQ(messagesOf({u"--entity"_s, u"305"_s}), QStringList{u"desk3 NA000000305A"_s});
    EXPECT_EQ(messagesOf({u"--since"_s, u"2026-03-14"_s}).size(), 2);
    const Outcome table = vnmsg({u"heard"_s, u"--entity"_s, u"201"_s});
    EXPECT_EQ(table.out.count(u'\n'), 3);
    EXPECT_TRUE(table.out.contains(u"desk3            VN-Desk          000000201  NA000000201A  "
                                   "Renamed\n"))
        << qPrintable(table.out);
}

TEST_F(VnmsgTest, EveryCommandHasItsHelpAndBashCompletesThem)
{
    for (const QString &command :
         {u"list"_s, u"mark-heard"_s, u"mark-new"_s, u"export"_s, u"play"_s, u"purge"_s, u"log"_s,
          u"heard"_s, u"env"_s, u"scan"_s, u"entities"_s, u"make-demo"_s}) {
        const Outcome help = vnmsg({command, u"--help"_s});
        EXPECT_EQ(help.code, 0) << qPrintable(command);
        EXPECT_TRUE(help.out.startsWith(u"usage: vnmsg " + command)) << qPrintable(help.out);
        EXPECT_TRUE(help.out.contains(u"\nexamples:\n  vnmsg " + command)) << qPrintable(command);
    }
    EXPECT_EQ(vnmsg({u"--version"_s}).out, u"vnmsg (VN-Orvak) " VNORVAK_VERSION "\n"_s);

    message(u"NA000000201A.vox"_s);
    QProcess bash;
    bash.start(u"bash"_s, {u"-c"_s,
                           u"source \"$1\"; COMP_WORDS=(vnmsg mark-new --dir \"$2\" NA); "
                           "COMP_CWORD=4; _vnmsg; echo ${COMPREPLY[@]}; "
                           "COMP_WORDS=(vnmsg pu); COMP_CWORD=1; _vnmsg; "
                           "echo ${COMPREPLY[@]}"_s,
                           u"bash"_s, QStringLiteral(VNMSG_COMPLETION), messages()});
    bash.waitForFinished(10000);
    EXPECT_EQ(bash.readAllStandardOutput(), "NA000000201A\npurge\n");
}

} // namespace
