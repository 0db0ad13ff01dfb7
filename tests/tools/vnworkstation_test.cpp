// The soak driver's operator and log on a real control with the simulated
// board: every action ends, every event is a JSON line, and what it logs
// about renames matches the folder.

#include "event_log.h"
#include "logging_prompter.h"
#include "play_probe.h"
#include "random_operator.h"

#include "support/test_environment.h"

#include "control/message_control.h"

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace VNOrvak;
using namespace Qt::StringLiterals;

namespace
{

class WorkstationDriverTest : public ::testing::Test
{
protected:
    // With "RenameOnStop" off, a message counts as heard only once played to
    // its end, which is what the tests below check.
    WorkstationDriverTest()
    {
        ws.writeLocalIni("[Messages]\nMsgTimer=0\nMsgport=1\nConnectString=201\nRenameOnStop=0\n"
                         "[VoiceBoard]\nDriver=simulated\nTimeScale=0.001\nAnswerSeconds=0\n");
    }

    QString logPath() const { return ws.root() + u"ws.jsonl"; }
    void message(const QString &name, int seconds)
    {
        TestWorkstation::writeFile(ws.messagesFolder() + name + u".vox",
                                   QByteArray(seconds * 4000, 'v'));
    }
    // Every line of the log; one that is no JSON object reads as an empty one.
    QList<QJsonObject> logLines()
    {
        QList<QJsonObject> out;
        for (const QByteArray &line : TestWorkstation::readFile(logPath()).split('\n'))
            if (!line.isEmpty())
                out << QJsonDocument::fromJson(line).object();
        return out;
    }

    TestWorkstation ws;
};

} // namespace

TEST_F(WorkstationDriverTest, TheOperatorActsAndLogsEveryActionEventAndRename)
{
    for (int id : {3, 5, 8})
        for (char order : {'A', 'B', 'C'})
            message(u"NA%1%2"_s.arg(id, 9, 10, QChar(u'0')).arg(QChar::fromLatin1(order)),
                    1 + order - 'A');
    {
        EventLog log(logPath(), u"wsT"_s);
        LoggingPrompter prompter(log);
        MessageControl control;
        control.InitializeForProgram(u"VN-Test"_s);
        RandomOperator op(control, log, {7, 2, 0.5});
        QSignalSpy finished(&op, &RandomOperator::finished);
        op.start();
        QTRY_VERIFY_WITH_TIMEOUT(op.actions() >= 150, 30000);
        op.finish();
        ASSERT_TRUE(finished.count() == 1 || finished.wait(10000));
        EXPECT_EQ(op.running(), 0);
    }

    // Alone on the folder, each rename it logged is one the folder shows, once.
    QHash<QString, int> events;
    QStringList renamed;
    for (const QJsonObject &o : logLines()) {
        EXPECT_EQ(o[u"ws"_s].toString(), u"wsT");
        EXPECT_TRUE(o[u"t"_s].isDouble());
        const QString event = o[u"ev"_s].toString();
        ++events[event];
        if (event == u"heard" && o[u"outcome"_s].toString() == u"renamed")
            renamed << o[u"name"_s].toString();
        if (event == u"box") {
            EXPECT_EQ(o[u"text"_s].toString(), u"New Message listened to on another workstation");
        }
    }
    EXPECT_GE(events[u"action"_s], 150);
    EXPECT_EQ(events[u"action"_s], events[u"action_end"_s]);
    EXPECT_EQ(events[u"finished_new"_s], events[u"heard"_s]);
    renamed.removeDuplicates();
    EXPECT_FALSE(renamed.isEmpty());
    for (const QString &name : renamed) {
        EXPECT_TRUE(QFile::exists(ws.messagesFolder() + u'M' + name.mid(1) + u".vox"))
            << name.toStdString();
        EXPECT_FALSE(QFile::exists(ws.messagesFolder() + name + u".vox")) << name.toStdString();
    }
    EXPECT_EQ(QDir(ws.messagesFolder()).entryList(QDir::Files).size(), 9);
}

TEST_F(WorkstationDriverTest, FinishDuringAPlaybackStopsItAndWaitsForItsEnd)
{
    message(u"NA000000004A"_s, 600); // 0.6 s at this time scale
    EventLog log(logPath(), u"wsT"_s);
    LoggingPrompter prompter(log);
    MessageControl control;
    control.InitializeForProgram(u"VN-Test"_s);
    control.InitializeForID(u"4"_s);
    RandomOperator op(control, log, {1, 100000, 0});
    QSignalSpy finished(&op, &RandomOperator::finished);
    bool finishedInsidePlay = false;
    QTimer::singleShot(100, [&] {
        op.finish();
        finishedInsidePlay = finished.count() > 0;
    });
    op.press("cmdPlayAll", u"play"_s); // runs until stopped
    ASSERT_TRUE(finished.count() == 1 || finished.wait(5000));
    EXPECT_FALSE(finishedInsidePlay);
    // Stopped: the message is not marked heard.
    EXPECT_TRUE(QFile::exists(ws.messagesFolder() + u"NA000000004A.vox"));

    modVNQRN::MsgBox(u"A box nobody closes"_s);
    const QList<QJsonObject> lines = logLines();
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines.back()[u"ev"_s].toString(), u"box");
    EXPECT_EQ(lines.back()[u"text"_s].toString(), u"A box nobody closes");
    EXPECT_EQ(prompter.boxes(), 1);
}

TEST_F(WorkstationDriverTest, EveryMessageMarkedHeardWasPlayedWholeFirst)
{
    QHash<qint64, QByteArray> sha1Of;
    for (int serial = 1; serial <= 6; ++serial) {
        QByteArray data = u"VNSOAK%1"_s.arg(serial, 8, 10, QChar(u'0')).toLatin1();
        data += QByteArray(serial * 2000, char('a' + serial));
        TestWorkstation::writeFile(ws.messagesFolder() + u"NA00000000%1A.vox"_s.arg(serial), data);
        sha1Of[serial] = QCryptographicHash::hash(data, QCryptographicHash::Sha1).toHex();
    }
    {
        EventLog log(logPath(), u"wsT"_s);
        LoggingPrompter prompter(log);
        MessageControl control;
        PlayProbe probe(log);
        QObject::connect(&control.core(), &MessageControlCore::MarkedHeard, &control,
                         [&probe] { probe.flush(); });
        control.InitializeForProgram(u"VN-Test"_s);
        RandomOperator op(control, log, {11, 2, 0.5});
        QSignalSpy finished(&op, &RandomOperator::finished);
        op.start();
        QTRY_VERIFY_WITH_TIMEOUT(op.actions() >= 150, 30000);
        op.finish();
        ASSERT_TRUE(finished.count() == 1 || finished.wait(10000));
        probe.flush();
    }

    // Each rename follows a play of that very file to its end, and each
    // play names the bytes it was given.
    QHash<qint64, int> playedWhole;
    int starts = 0, plays = 0, renames = 0;
    for (const QJsonObject &o : logLines()) {
        const QString event = o[u"ev"_s].toString();
        const qint64 serial = o[u"serial"_s].toInteger();
        if (event == u"play_start") {
            ++starts;
        } else if (event == u"played") {
            ++plays;
            EXPECT_EQ(o[u"sha1"_s].toString().toLatin1(), sha1Of.value(serial)) << serial;
            EXPECT_EQ(o[u"bytes"_s].toInteger(), 8 + 6 + serial * 2000);
            if (o[u"ending"_s].toString() == u"end")
                ++playedWhole[serial];
        } else if (event == u"heard" && o[u"outcome"_s].toString() == u"renamed") {
            ++renames;
            const qint64 heard = o[u"name"_s].toString().mid(10, 1).toLongLong();
            EXPECT_GT(playedWhole.value(heard), 0) << heard;
        }
    }
    EXPECT_GT(renames, 0);
    EXPECT_EQ(starts, plays);
}
