// What a poll asks of the file system: one reading of the folder and at most
// one status per file, poll after poll, counted through a reader that holds
// the folder in memory. The files exist nowhere else, so any read that goes
// around the reader fails and shows a "File not found" box.

#include "control/directory_reader.h"
#include "control/message_control_core.h"
#include "support/fake_clock.h"
#include "support/recording_prompter.h"
#include "support/test_environment.h"

#include "shared/environment.h"

#include <QMap>

#include <gtest/gtest.h>

using namespace VNOrvak;
using namespace Qt::StringLiterals;
using Kind = DirectoryReader::Kind;

namespace
{

class CountingReader final : public DirectoryReader
{
public:
    struct File {
        Kind kind = Kind::File;
        bool regular = true;
        qint64 secs = 0;
        bool vanished = false; // listed, gone when its status is asked for
    };

    QMap<QByteArray, File> files; // a folder's entries
    int opens = 0;
    int statuses = 0;

    bool open(const QByteArray &) override
    {
        ++opens;
        m_order = files.keys();
        m_at = 0;
        return true;
    }
    bool next(const char *&name, Kind &kind) override
    {
        if (m_at >= m_order.size())
            return false;
        m_name = m_order[m_at++];
        name = m_name.constData();
        kind = files.value(m_name).kind;
        return true;
    }
    Status status(const char *name) override
    {
        ++statuses;
        const auto it = files.constFind(QByteArray(name));
        if (it == files.cend() || it->vanished)
            return {};
        return {true, it->regular, it->secs};
    }
    void close() override {}

private:
    QList<QByteArray> m_order;
    qsizetype m_at = 0;
    QByteArray m_name;
};

class PollCost : public ::testing::Test
{
protected:
    PollCost()
    {
        modVNQRN::gsLocalPath = ws.root();
        modVNQRN::gsLocalIni = ws.root() + u"QelLocal.ini";
        core.setTimerEnabled(false);
        core.store().msMsgDir = ws.root() + u"nowhere/";
        core.folderReader().setDirectoryReader(&reader);
        QObject::connect(&core, &MessageControlCore::MsgUpdated, [this] { ++updates; });
    }

    // One poll; what it cost.
    std::pair<int, int> poll()
    {
        const int opens = reader.opens, statuses = reader.statuses;
        core.tmrCalls_Timer();
        return {reader.opens - opens, reader.statuses - statuses};
    }

    TestWorkstation ws;
    RecordingPrompter prompter;
    FakeClock clock;
    MessageControlCore core;
    CountingReader reader;
    int updates = 0;
};

} // namespace

TEST_F(PollCost, OneReadingAndAtMostOneStatusPerFilePollAfterPoll)
{
    const qint64 now = clock.now().toSecsSinceEpoch();
    constexpr int kMessages = 1000;
    for (int i = 0; i < kMessages; ++i) {
        const QByteArray name = QByteArray(1, i % 3 ? 'M' : 'N') + 'A' +
                                QByteArray::number(i / 2).rightJustified(9, '0') +
                                char('A' + i % 2) + ".vox";
        reader.files[name] = {i % 10 == 0 ? Kind::Unknown : Kind::File, true, now - i * 600};
    }
    // Other names, a sub-folder, files the patterns do not take.
    reader.files["NA0000015.vox"] = {};
    reader.files["Notes"] = {Kind::Unknown, true, now};
    reader.files["MA000000001A.vox.bak"] = {Kind::Link, true, now};
    reader.files["NA000999999A.vox"] = {Kind::Other, false, now};
    reader.files["readme.txt"] = {};
    // Entries that need their status: the messages, two other names that
    // are no plain files by their entry.
    const int needed = kMessages + 2;

    EXPECT_EQ(poll(), std::make_pair(1, needed));
    EXPECT_TRUE(prompter.boxes.isEmpty()) << qPrintable(prompter.texts().join(u'|'));
    const MessageStore &store = core.store();
    EXPECT_EQ(store.mlMsgCnt, kMessages);
    EXPECT_EQ(store.otherFiles,
              (QStringList{u"MA000000001A.vox.bak"_s, u"NA0000015.vox"_s, u"Notes"_s}));
    EXPECT_EQ(store.mdLastMsgDate.toSecsSinceEpoch(), now);
    const int today = store.mlMsgTodayCnt;
    EXPECT_GT(today, 0);
    EXPECT_EQ(updates, 1);

    // An unchanged folder: the same cost, the same list, no event.
    const QString list = store.msMsgList;
    EXPECT_EQ(poll(), std::make_pair(1, needed));
    EXPECT_EQ(store.msMsgList, list);
    EXPECT_EQ(store.mlMsgTodayCnt, today);
    EXPECT_EQ(updates, 1);

    // One message rewritten, one recorded, one heard elsewhere: still one
    // status per file, and every change is seen.
    reader.files["MA000000010A.vox"].secs = now + 60;
    reader.files["NZ000000000A.vox"] = {Kind::File, true, now + 30};
    reader.files.remove("NA000000003A.vox");
    reader.files["MA000000003A.vox"] = {Kind::File, true, now};
    EXPECT_EQ(poll(), std::make_pair(1, needed + 1));
    EXPECT_EQ(store.mlMsgCnt, kMessages + 1);
    EXPECT_EQ(store.mdLastMsgDate.toSecsSinceEpoch(), now + 60);
    EXPECT_TRUE(store.msMsgList.startsWith(u"NA000000000A,NZ000000000A,MA000000000B,"));
    EXPECT_TRUE(store.msMsgList.contains(u"MA000000003A"));
    EXPECT_FALSE(store.msMsgList.contains(u"NA000000003A"));
    EXPECT_EQ(updates, 2);
    EXPECT_TRUE(prompter.boxes.isEmpty()) << qPrintable(prompter.texts().join(u'|'));

    // The next day an unchanged folder counts no message as today's.
    clock.set(clock.now().addDays(2));
    EXPECT_EQ(poll(), std::make_pair(1, needed + 1));
    EXPECT_EQ(store.mlMsgTodayCnt, 0);
    EXPECT_EQ(updates, 2);
}

TEST_F(PollCost, AFileThatVanishesBeforeItsStatusStaysListedWithoutABox)
{
    reader.files["NA000000001A.vox"] = {Kind::File, true, clock.now().toSecsSinceEpoch()};
    reader.files["NA000000002A.vox"] = {Kind::File, true, 0, true};
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(poll(), std::make_pair(1, 2));
        EXPECT_EQ(core.store().msMsgList, u"NA000000001A,NA000000002A");
        EXPECT_EQ(core.store().mlMsgTodayCnt, 1);
        EXPECT_TRUE(prompter.boxes.isEmpty());
    }
}
