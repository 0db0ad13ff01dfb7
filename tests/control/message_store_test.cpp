// The store's rules beyond what ordering_model_test holds against the model
// (the list, twins, duplicates, the counts and the latest date): today's count
// across midnight, unreadable files, the entity's messages and marking one
// heard in the lists.

#include "message_folder.h"

#include "control/message_store.h"
#include "support/fake_clock.h"
#include "support/recording_prompter.h"
#include "support/test_environment.h"

#include "shared/environment.h"
#include "shared/error.h"

#include <gtest/gtest.h>

using VNOrvak::ListedFile;
using VNOrvak::MessageListing;
using VNOrvak::MessageStore;
using namespace Qt::StringLiterals;

namespace
{

class MessageStoreTest : public ::testing::Test
{
protected:
    MessageStoreTest()
    {
        modVNQRN::gsLocalPath = ws.root();
        store.msMsgDir = ws.root() + u"messages/";
    }

    void write(const QString &name, const QDateTime &when)
    {
        writeMessageFile(store.msMsgDir, name, when);
    }

    TestWorkstation ws;
    RecordingPrompter prompter;
    FakeClock clock; // 2026-03-14 09:30
    MessageStore store;
};

} // namespace

TEST_F(MessageStoreTest, TodaysCountFollowsTheClockAcrossMidnight)
{
    const QDateTime lateYesterday(QDate(2026, 3, 13), QTime(23, 59, 30));
    const QDateTime early(QDate(2026, 3, 14), QTime(0, 0, 5));
    write(QStringLiteral("NA000000001A.vox"), lateYesterday);
    write(QStringLiteral("NA000000002A.vox"), early);
    const MessageListing listing = VNOrvak::ListMessageFiles(store.msMsgDir);

    store.AddListedMessages(listing);
    EXPECT_EQ(store.mlMsgTodayCnt, 1);
    EXPECT_EQ(store.mdLastMsgDate, early);

    clock.set(QDateTime(QDate(2026, 3, 15), QTime(0, 0, 1)));
    store.ClearMessages();
    store.AddListedMessages(listing);
    EXPECT_EQ(store.mlMsgTodayCnt, 0);
    // A file stamped at the very start of tomorrow is not today's.
    clock.set(QDateTime(QDate(2026, 3, 14), QTime(23, 59, 59)));
    write(QStringLiteral("NA000000003A.vox"), QDateTime(QDate(2026, 3, 15), QTime(0, 0)));
    store.ClearMessages();
    store.AddListedMessages(VNOrvak::ListMessageFiles(store.msMsgDir));
    EXPECT_EQ(store.mlMsgCnt, 3);
    EXPECT_EQ(store.mlMsgTodayCnt, 1);
}

TEST_F(MessageStoreTest, UnreadableFilesAreReportedOnceAndTheScanGoesOn)
{
    write(QStringLiteral("NA000000002A.vox"), clock.now());
    MessageListing listing;
    listing.newFiles = {{QStringLiteral("NA000000001A.vox"), ListedFile::kNoTime},
                        {QStringLiteral("NA000000002A.vox"), clock.now().toSecsSinceEpoch()}};
    store.AddListedMessages(listing);
    EXPECT_EQ(store.msMsgList, u"NA000000001A,NA000000002A");
    EXPECT_EQ(store.mlMsgCnt, 2);
    EXPECT_EQ(store.mlMsgTodayCnt, 1);
    // A listed file that vanished was renamed elsewhere: the log, no box.
    EXPECT_TRUE(prompter.boxes.isEmpty());

    // A list of names with a comma in one splits it into pieces that name no
    // file: each piece is reported, a piece that is no message name is not
    // listed, the rest is. (A poll never hands such a name over: it keeps
    // the whole name apart.)
    prompter.boxes.clear();
    store.ClearMessages();
    store.AddMessages(QStringLiteral("NA,MB000000004A.vox,NA000000002A.vox"));
    EXPECT_EQ(store.msMsgList, u"NA000000002A,MB000000004A");
    EXPECT_EQ(prompter.boxes.size(), 2);

    // The same name in a listing is kept apart whole, and nothing is reported.
    prompter.boxes.clear();
    store.ClearMessages();
    listing.newFiles = {{QStringLiteral("NA,MB000000004A.vox"), ListedFile::kNoTime},
                        {QStringLiteral("NA000000002A.vox"), clock.now().toSecsSinceEpoch()}};
    store.AddListedMessages(listing);
    EXPECT_EQ(store.msMsgList, u"NA000000002A");
    EXPECT_EQ(store.otherFiles, QStringList{u"NA,MB000000004A.vox"_s});
    EXPECT_TRUE(prompter.boxes.isEmpty());
}

TEST_F(MessageStoreTest, SelectsTheEntityByTextSearch)
{
    store.msMsgList = QStringLiteral("MA000000003A,NA000000007A,MA000000007B,M0000000070C");
    store.msEntityID = QStringLiteral("000000007");
    store.mlEntityPos = 4;
    store.msPlayQueue = QStringLiteral("x");
    store.SelectEntityMessages();
    // The last name holds the nine digits one place early: it is picked too,
    // cut at the same offset.
    EXPECT_EQ(store.msEntityList, u"NA000000007A,MA000000007B,,M0000000070");
    EXPECT_EQ(store.mlEntityMsgCnt, 3);
    EXPECT_EQ(store.mlEntityPos, 0);
    EXPECT_TRUE(store.msPlayQueue.isEmpty());
    EXPECT_TRUE(store.mbHasEntityMsgs);
    EXPECT_TRUE(store.mbHasEntityNewMsgs);

    store.msEntityID = QStringLiteral("000000008");
    store.SelectEntityMessages();
    EXPECT_TRUE(store.msEntityList.isEmpty());
    EXPECT_EQ(store.mlEntityMsgCnt, 0);
    EXPECT_FALSE(store.mbHasEntityMsgs);

    // An id at the very start of a malformed list has no name around it.
    store.msMsgList = QStringLiteral("N000000008X");
    EXPECT_THROW(store.SelectEntityMessages(), modVNQRN::Error);
}

TEST_F(MessageStoreTest, MarkHeardInListRenamesTheNameInEveryList)
{
    store.msMsgList = QStringLiteral("NA000000007A,NA000000007B");
    store.msEntityList = store.msMsgList;
    store.msPlayQueue = QStringLiteral("NA000000007B");
    store.mlNewMsgCnt = 2;
    store.MarkHeardInList(QStringLiteral("NA000000007B"));
    EXPECT_EQ(store.msMsgList, u"NA000000007A,MA000000007B");
    EXPECT_EQ(store.msEntityList, u"NA000000007A,MA000000007B");
    EXPECT_EQ(store.msPlayQueue, u"MA000000007B");
    EXPECT_EQ(store.mlNewMsgCnt, 1);

    // A lower-case "n" is replaced by "M", the rest kept.
    store.msMsgList = QStringLiteral("nA000000007C");
    store.MarkHeardInList(QStringLiteral("nA000000007C"));
    EXPECT_EQ(store.msMsgList, u"MA000000007C");
}

TEST(GetRightItem, TakesItemsOffTheEnd)
{
    struct Row {
        QString list, delim, item, rest;
    };
    const Row rows[] = {
        {u" a, b ,c "_s, {}, u"c"_s, u"a, b"_s},
        {u"a, b"_s, {}, u" b"_s, u"a"_s},
        {u"abc"_s, {}, u"abc"_s, {}},
        {{}, {}, {}, {}},
        {u"x::y::z"_s, u"::"_s, u"z"_s, u"x::y"_s},
        {u"x,"_s, {}, {}, u"x"_s},
    };
    for (const Row &row : rows) {
        QString list = row.list;
        EXPECT_EQ(MessageStore::GetRightItem(list, row.delim), row.item) << qPrintable(row.list);
        EXPECT_EQ(list, row.rest) << qPrintable(row.list);
    }
}
