// The soak driver's operator and log on a real control with the simulated
// board: every action ends, every event is a JSON line, and what it logs
// about renames matches the folder.

#include "event_log.h"
#include "logging_prompter.h"
#include "random_operator.h"

#include "support/test_environment.h"

#include "control/message_control.h"
#include "shared/profile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPushButton>
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
    WorkstationDriverTest()
    {
        QDir().mkpath(ws.localAppFolder());
        QDir().mkpath(messages());
        const QString ini = ws.localAppFolder() + u"QelLocal.ini";
        const auto set = [&](const QString &section, const QString &key, const QString &value) {
            modVNQRN::WriteProfileString(section, key, value, ini);
        };
        set(u"Zuzidivuz"_s, u"VnPath"_s, ws.root() + u"inst");
        set(u"Messages"_s, u"MsgTimer"_s, u"0"_s);
        set(u"Messages"_s, u"Msgport"_s, u"1"_s);
        set(u"Messages"_s, u"ConnectString"_s, u"201"_s);
        set(u"VoiceBoard"_s, u"Driver"_s, u"simulated"_s);
        set(u"VoiceBoard"_s, u"TimeScale"_s, u"0.001"_s);
        set(u"VoiceBoard"_s, u"AnswerSeconds"_s, u"0"_s);
    }

    QString messages() const { return ws.root() + u"inst/VNT/Data/messages/"; }
    QString logPath() const { return ws.root() + u"ws.jsonl"; }
    void message(const QString &name, int seconds)
    {
        TestWorkstation::writeFile(messages() + name + u".vox", QByteArray(seconds * 4000, 'v'));
    }
    QList<QJsonObject> logLines()
    {
        QList<QJsonObject> out;
        for (const QByteArray &line : TestWorkstation::readFile(logPath()).split('\n')) {
            if (line.isEmpty())
                continue;
            QJsonParseError error;
            const QJsonDocument doc = QJsonDocument::fromJson(line, &error);
            EXPECT_EQ(error.error, QJsonParseError::NoError) << line.toStdString();
            out << doc.object();
        }
        return out;
    }

    TestWorkstation ws;
};

int count(const QList<QJsonObject> &lines, const QString &event)
{
    return int(std::count_if(lines.begin(), lines.end(),
                             [&](const QJsonObject &o) { return o[u"ev"_s].toString() == event; }));
}

} // namespace

TEST_F(WorkstationDriverTest, TheOperatorActsAndLogsEveryActionEventAndRename)
{
    for (int id : {3, 5, 8})
        for (char order : {'A', 'B', 'C'})
            message(u"NA"_s + QString::number(id).rightJustified(9, u'0') +
                        QChar::fromLatin1(order),
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

    const QList<QJsonObject> lines = logLines();
    ASSERT_FALSE(lines.isEmpty());
    for (const QJsonObject &o : lines) {
        EXPECT_EQ(o[u"ws"_s].toString(), u"wsT");
        EXPECT_TRUE(o[u"t"_s].isDouble());
    }
    EXPECT_EQ(count(lines, u"action"_s), count(lines, u"action_end"_s));
    EXPECT_GE(count(lines, u"action"_s), 150);
    EXPECT_EQ(count(lines, u"finished_new"_s), count(lines, u"heard"_s));
    // Alone on the folder, each rename it logged is one the folder shows, once.
    QStringList renamed;
    for (const QJsonObject &o : lines) {
        if (o[u"ev"_s].toString() == u"heard" && o[u"outcome"_s].toString() == u"renamed")
            renamed << o[u"name"_s].toString();
        if (o[u"ev"_s].toString() == u"box") {
            EXPECT_EQ(o[u"text"_s].toString(), u"New Message listened to on another workstation");
        }
    }
    renamed.removeDuplicates();
    EXPECT_FALSE(renamed.isEmpty());
    for (const QString &name : renamed) {
        EXPECT_TRUE(QFile::exists(messages() + u'M' + name.mid(1) + u".vox")) << name.toStdString();
        EXPECT_FALSE(QFile::exists(messages() + name + u".vox")) << name.toStdString();
    }
    EXPECT_EQ(QDir(messages()).entryList(QDir::Files).size(), 9);
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
    EXPECT_TRUE(QFile::exists(messages() + u"NA000000004A.vox"));

    modVNQRN::MsgBox(u"A box nobody closes"_s);
    const QList<QJsonObject> lines = logLines();
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines.back()[u"ev"_s].toString(), u"box");
    EXPECT_EQ(lines.back()[u"text"_s].toString(), u"A box nobody closes");
    EXPECT_EQ(prompter.boxes(), 1);
}
