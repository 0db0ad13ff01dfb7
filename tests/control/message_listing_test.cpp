#include "message_folder.h"

#include "control/message_listing.h"
#include "support/test_environment.h"

#include "shared/error.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using VNOrvak::ListMessageFiles;

namespace
{

QStringList namesOf(const QList<VNOrvak::ListedFile> &files)
{
    QStringList names;
    for (const auto &f : files)
        names.append(f.name);
    return names;
}

} // namespace

TEST(MessageListing, OrdinaryFilesByFirstLetterInCodePointOrder)
{
    TestWorkstation ws;
    const QString dir = ws.root() + u"messages/";
    const QDateTime when(QDate(2026, 3, 14), QTime(9, 0, 7));
    const QStringList files = {QStringLiteral("NB000000001A.vox"),
                               QStringLiteral("nA000000002A.vox"),
                               QStringLiteral("NA000000003A"),
                               QStringLiteral("N") + QChar(0xe9),
                               QStringLiteral("N") + QChar(0xfffd),
                               QStringLiteral("N") + QString::fromUcs4(U"\U0001F600"),
                               QStringLiteral("MA000000003A.vox"),
                               QStringLiteral("mZ.x.y"),
                               QStringLiteral("XA000000003A.vox"),
                               QStringLiteral("readme.txt"),
                               QStringLiteral("NA,MA000000001A.vox")};
    for (const QString &f : files)
        writeMessageFile(dir, f, when);
    QDir().mkpath(dir + u"NA000000009A.vox"); // a folder is no message
    ASSERT_TRUE(QFile::link(dir + u"nowhere", dir + u"NA000000008A.vox"));
    ASSERT_TRUE(QFile::link(dir + u"MA000000003A.vox", dir + u"ML000000003A.vox"));

    const VNOrvak::MessageListing listing = ListMessageFiles(dir);
    // Code points, not UTF-16 units: U+1F600 sorts after U+FFFD.
    EXPECT_EQ(namesOf(listing.newFiles),
              (QStringList{QStringLiteral("NA,MA000000001A.vox"), QStringLiteral("NA000000003A"),
                           QStringLiteral("NB000000001A.vox"), QStringLiteral("N") + QChar(0xe9),
                           QStringLiteral("N") + QChar(0xfffd),
                           QStringLiteral("N") + QString::fromUcs4(U"\U0001F600"),
                           QStringLiteral("nA000000002A.vox")}));
    EXPECT_EQ(namesOf(listing.heardFiles),
              (QStringList{QStringLiteral("MA000000003A.vox"), QStringLiteral("ML000000003A.vox"),
                           QStringLiteral("mZ.x.y")}));
    for (const auto &f : listing.newFiles + listing.heardFiles)
        EXPECT_EQ(f.modifiedSecs, when.toSecsSinceEpoch()) << qPrintable(f.name);
}

TEST(MessageListing, MissingFolderIsEmptyAndABrokenOneThrows)
{
    TestWorkstation ws;
    const VNOrvak::MessageListing missing = ListMessageFiles(ws.root() + u"gone/");
    EXPECT_TRUE(missing.newFiles.isEmpty());
    EXPECT_TRUE(missing.heardFiles.isEmpty());
    writeMessageFile(ws.root(), QStringLiteral("afile"), QDateTime::currentDateTime());
    EXPECT_TRUE(ListMessageFiles(ws.root() + u"afile/").newFiles.isEmpty());

    // A folder that points at itself cannot be read: no listing at all.
    ASSERT_TRUE(QFile::link(ws.root() + u"loop", ws.root() + u"loop"));
    try {
        ListMessageFiles(ws.root() + u"loop/");
        FAIL() << "expected an error";
    } catch (const modVNQRN::Error &e) {
        EXPECT_EQ(e.number(), modVNQRN::errPathFileAccess);
    }
}
