// Which files of a folder are listed as messages, in what order, and what a
// poll does with names that are no message names.

#include "message_folder.h"

#include "control/message_control_core.h"
#include "control/message_listing.h"
#include "control/message_name.h"
#include "support/fake_clock.h"
#include "support/recording_prompter.h"
#include "support/test_environment.h"

#include "shared/environment.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace
{

QStringList namesOf(const QList<VNOrvak::ListedFile> &files)
{
    QStringList names;
    for (const auto &f : files)
        names << f.name;
    return names;
}

} // namespace

TEST(MessageListing, MessageFilesByStateInCodePointOrderOthersApart)
{
    TestWorkstation ws;
    const QString dir = ws.root() + u"messages/";
    const QDateTime when(QDate(2026, 3, 14), QTime(9, 0, 7));
    const QString e = QChar(0xe9), replacement = QChar(0xfffd),
                  smiley = QString::fromUcs4(U"\U0001F600");
    for (const QString &f :
         QStringList{u"NB000000001A.vox"_s, u"nA000000002A.vox"_s, u"NA000000003A"_s, u"N" + e,
                     u"N" + replacement, u"N" + smiley, u"MA000000003A.vox"_s, u"mZ.x.y"_s,
                     u"XA000000003A.vox"_s, u"readme.txt"_s, u"NA,MA000000001A.vox"_s,
                     u"NA000000002B.vox"_s})
        writeMessageFile(dir, f, when);
    QDir().mkpath(dir + u"NA000000009A.vox"); // a folder is no message
    QDir().mkpath(dir + u"Nfolder");          // nor another name
    ASSERT_TRUE(QFile::link(dir + u"nowhere", dir + u"NA000000008A.vox"));
    ASSERT_TRUE(QFile::link(dir + u"nowhere", dir + u"Nlink"));
    ASSERT_TRUE(QFile::link(dir + u"MA000000003A.vox", dir + u"ML000000003A.vox"));

    const VNOrvak::MessageListing listing = VNOrvak::ListMessageFiles(dir);
    EXPECT_EQ(namesOf(listing.newFiles),
              (QStringList{u"NA000000002B.vox"_s, u"NB000000001A.vox"_s}));
    EXPECT_EQ(namesOf(listing.heardFiles),
              (QStringList{u"MA000000003A.vox"_s, u"ML000000003A.vox"_s}));
    // Code points, not UTF-16 units: U+1F600 sorts after U+FFFD.
    EXPECT_EQ(listing.otherNames,
              (QStringList{u"NA,MA000000001A.vox"_s, u"NA000000003A"_s, u"N" + e,
                           u"N" + replacement, u"N" + smiley, u"mZ.x.y"_s, u"nA000000002A.vox"_s}));
    for (const auto &f : listing.newFiles + listing.heardFiles)
        EXPECT_EQ(f.modifiedSecs, when.toSecsSinceEpoch()) << qPrintable(f.name);
}

TEST(MessageListing, MessageFileNames)
{
    const QString e = QChar(0xe9);
    for (const QString &name :
         {u"NA000000001A.vox"_s, u"MA000000001A.vox"_s, u"Mz999999999z.vox"_s,
          u"NN000000001N.vox"_s, u"NA0000000019.vox"_s, u"N0000000001A.vox"_s})
        EXPECT_TRUE(VNOrvak::IsMessageFileName(name)) << qPrintable(name);
    for (const QString &name : {u"NA0000015.vox"_s,
                                u"NA000000001 .vox"_s,
                                QString(u"NA00000000" + e + u"1.vox"),
                                QString(u"NA000000001" + e + u".vox"),
                                QString(u"N" + e + u"000000001A.vox"),
                                u"nA000000001A.vox"_s,
                                u"mA000000001A.vox"_s,
                                u"XA000000001A.vox"_s,
                                u"N 000000001A.vox"_s,
                                u"N_000000001A.vox"_s,
                                u"NA00000000X1A.vox"_s,
                                u"NA-00000001A.vox"_s,
                                u"NA000000001-.vox"_s,
                                u"NA000000001,.vox"_s,
                                u"NA000000001A.VOX"_s,
                                u"NA000000001A.wav"_s,
                                u"NA000000001A.vox.bak"_s,
                                u"NA000000001A"_s,
                                u"NA000000001AB.vox"_s,
                                u"NA,MA00000001.vox"_s,
                                u" NA000000001A.vox"_s,
                                u""_s})
        EXPECT_FALSE(VNOrvak::IsMessageFileName(name)) << qPrintable(name);
    const char bytes[] = "NA000000001A.vox";
    EXPECT_TRUE(VNOrvak::IsMessageFileName(bytes, 16));
    EXPECT_FALSE(VNOrvak::IsMessageFileName(bytes, 15));
    const char high[] = "NA00000000\xc3\xa9.vox";
    EXPECT_FALSE(VNOrvak::IsMessageFileName(high, 16));
}

// One stray file among well-formed messages, whatever its name, leaves the
// messages, the counts, the entity's list and the operator's screen as they
// would be without it, and is kept apart.
TEST(MessageListing, StrayNamesLeaveTheMessagesUntouched)
{
    TestWorkstation ws;
    RecordingPrompter prompter;
    FakeClock clock;
    modVNQRN::gsLocalPath = ws.root();
    modVNQRN::gsLocalIni = ws.root() + u"QelLocal.ini";
    const QStringList messages = {u"NA000000001A.vox"_s, u"MA000000002A.vox"_s,
                                  u"NA000000002B.vox"_s, u"MB000000015A.vox"_s};
    const QString e = QChar(0xe9);
    const QString strays[] = {u"NA0000015.vox"_s,
                              u"NA000000001 .vox"_s,
                              u"NA00000000" + e + u"2.vox",
                              u"NA000000002" + e + u".vox",
                              u"MA-05"_s + QChar(0xff) + QChar(0xff) + u"00000"_s,
                              u"NA,MA000000002A.vox"_s,
                              u"NA000000001A.wav"_s,
                              u"NA000000001A.vox.bak"_s,
                              u"nA000000003A.vox"_s,
                              u"Notes"_s,
                              u"MA000000002AB.vox"_s,
                              u"N" + QString::fromUcs4(U"\U0001F600") + u"00000001A.vox"};
    int folder = 0;
    for (const QString &stray : strays) {
        SCOPED_TRACE(qPrintable(stray));
        const QString dir = ws.root() + u"m" + QString::number(++folder) + u'/';
        for (const QString &name : messages)
            writeMessageFile(dir, name, clock.now());
        writeMessageFile(dir, stray, clock.now().addDays(1));
        VNOrvak::MessageControlCore core;
        core.setTimerEnabled(false);
        core.store().msMsgDir = dir;
        core.tmrCalls_Timer();
        const VNOrvak::MessageStore &store = core.store();
        EXPECT_EQ(store.msMsgList, u"NA000000001A,MA000000002A,NA000000002B,MB000000015A");
        EXPECT_EQ(store.mlMsgCnt, 4);
        EXPECT_EQ(store.mlNewMsgCnt, 2);
        EXPECT_EQ(store.mlMsgTodayCnt, 4);
        EXPECT_EQ(store.mdLastMsgDate, clock.now()); // the stray's later time is not seen
        EXPECT_EQ(store.otherFiles, QStringList{stray});
        EXPECT_TRUE(prompter.boxes.isEmpty()) << qPrintable(prompter.texts().join(u'|'));
        core.InitializeForID(u"2"_s);
        EXPECT_EQ(store.msEntityList, u"MA000000002A,NA000000002B");
        EXPECT_TRUE(store.mbHasEntityNewMsgs);
        core.InitializeForID(u"15"_s);
        EXPECT_EQ(store.msEntityList, u"MB000000015A");
        prompter.boxes.clear();
    }
}

// The marker tells a share that went away from an empty folder, for the
// current folder ("") too, which is no folder the marker was seen in.
TEST(MessageListing, AnEmptyFolderIsNotMountedOnlyWhereItsMarkerWasSeen)
{
    TestWorkstation ws;
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(ws.root()));
    VNOrvak::MessageFolderReader reader;
    EXPECT_FALSE(reader.read(QString()).notMounted);
    EXPECT_FALSE(reader.read(QString()).notMounted);

    writeMessageFile(ws.root(), u"NA000000001A.vox"_s, QDateTime::currentDateTime(), "one");
    EXPECT_EQ(reader.read(QString()).newFiles.size(), 1);
    ASSERT_TRUE(QFile::exists(ws.root() + QLatin1StringView(VNOrvak::kFolderMarker)));
    QFile::remove(ws.root() + u"NA000000001A.vox"_s);
    QFile::remove(ws.root() + QLatin1StringView(VNOrvak::kFolderMarker));
    EXPECT_TRUE(reader.read(QString()).notMounted);
    QDir::setCurrent(previous);
}
