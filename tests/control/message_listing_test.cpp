// Which files of a folder are listed as messages, and in what order.

#include "message_folder.h"

#include "control/message_listing.h"
#include "support/test_environment.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

TEST(MessageListing, OrdinaryFilesByFirstLetterInCodePointOrder)
{
    TestWorkstation ws;
    const QString dir = ws.root() + u"messages/";
    const QDateTime when(QDate(2026, 3, 14), QTime(9, 0, 7));
    const QString e = QChar(0xe9), replacement = QChar(0xfffd),
                  smiley = QString::fromUcs4(U"\U0001F600");
    for (const QString &f :
         QStringList{u"NB000000001A.vox"_s, u"nA000000002A.vox"_s, u"NA000000003A"_s, u"N" + e,
                     u"N" + replacement, u"N" + smiley, u"MA000000003A.vox"_s, u"mZ.x.y"_s,
                     u"XA000000003A.vox"_s, u"readme.txt"_s, u"NA,MA000000001A.vox"_s})
        writeMessageFile(dir, f, when);
    QDir().mkpath(dir + u"NA000000009A.vox"); // a folder is no message
    ASSERT_TRUE(QFile::link(dir + u"nowhere", dir + u"NA000000008A.vox"));
    ASSERT_TRUE(QFile::link(dir + u"MA000000003A.vox", dir + u"ML000000003A.vox"));

    const VNOrvak::MessageListing listing = VNOrvak::ListMessageFiles(dir);
    QStringList newNames, heardNames;
    for (const auto &f : listing.newFiles)
        newNames << f.name;
    for (const auto &f : listing.heardFiles)
        heardNames << f.name;
    // Code points, not UTF-16 units: U+1F600 sorts after U+FFFD.
    EXPECT_EQ(newNames,
              (QStringList{u"NA,MA000000001A.vox"_s, u"NA000000003A"_s, u"NB000000001A.vox"_s,
                           u"N" + e, u"N" + replacement, u"N" + smiley, u"nA000000002A.vox"_s}));
    EXPECT_EQ(heardNames, (QStringList{u"MA000000003A.vox"_s, u"ML000000003A.vox"_s, u"mZ.x.y"_s}));
    for (const auto &f : listing.newFiles + listing.heardFiles)
        EXPECT_EQ(f.modifiedSecs, when.toSecsSinceEpoch()) << qPrintable(f.name);
}
