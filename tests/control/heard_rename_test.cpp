// Giving a played message its heard name on the kinds of folder the product
// meets: a local disk with a no-replace rename, a local disk without one, and
// a network folder, each seen here through a view of a local folder that also
// ignores letter case, as SMB shares do.

#include "control/heard_rename.h"

#include "message_folder.h"

#include "support/fake_clock.h"
#include "support/qstring_printer.h"
#include "support/test_environment.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

using namespace VNOrvak;
using namespace Qt::StringLiterals;

namespace
{

enum class Share { LocalDisk, DiskWithoutNoReplace, Network };

// A local folder seen as a share of `kind` that ignores letter case: a name
// finds the file whose name differs in case alone, and a rename onto such a
// file replaces it, as an SMB server does.
class CaseFoldingShare final : public MessageFileSystem
{
public:
    explicit CaseFoldingShare(Share kind) : m_kind(kind) {}

    int stat(const QString &path, FileFacts &facts) override
    {
        return MessageFileSystem::stat(resolve(path), facts);
    }
    int renameNoReplace(const QString &from, const QString &to) override
    {
        if (m_kind != Share::LocalDisk)
            return EINVAL; // as FUSE, SMB and FAT answer
        return MessageFileSystem::renameNoReplace(resolve(from), resolve(to));
    }
    int rename(const QString &from, const QString &to) override
    {
        return MessageFileSystem::rename(resolve(from), resolve(to));
    }
    int unlink(const QString &path) override { return MessageFileSystem::unlink(resolve(path)); }
    int lookUp(const QString &path) override { return MessageFileSystem::lookUp(resolve(path)); }
    int createClaim(const QString &path) override
    {
        return MessageFileSystem::createClaim(resolve(path));
    }
    int removeClaim(const QString &path) override
    {
        return MessageFileSystem::removeClaim(resolve(path));
    }
    int modifiedNs(const QString &path, qint64 &ns) override
    {
        return MessageFileSystem::modifiedNs(resolve(path), ns);
    }
    int read(const QString &path, QByteArray &contents) override
    {
        return MessageFileSystem::read(resolve(path), contents);
    }
    bool isLocal(const QString &) override { return m_kind != Share::Network; }

private:
    static QString resolve(const QString &path)
    {
        if (QFile::exists(path))
            return path;
        const QFileInfo info(path);
        const QDir dir = info.dir();
        for (const QString &entry :
             dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
            if (entry.compare(info.fileName(), Qt::CaseInsensitive) == 0)
                return dir.filePath(entry);
        }
        return path;
    }

    Share m_kind;
};

class HeardRenameTest : public ::testing::TestWithParam<Share>
{
public:
    HeardRenameTest() : share(GetParam()) { QDir().mkpath(dir); }

    QString path(const QString &file) const { return dir + file; }
    void write(const QString &file, const QByteArray &contents)
    {
        TestWorkstation::writeFile(path(file), contents);
    }
    void put(const FolderEntries &files) { fillFolder(dir, files); }
    // Sub-folders (claims) show as "<folder>".
    FolderEntries contents() const { return folderContents(dir); }

    TestWorkstation ws;
    const QString dir = ws.root() + u"messages/"_s;
    CaseFoldingShare share;
};

struct MoveCase {
    const char *what;
    FolderEntries before;
    QString played; // the new name played
    std::function<void(HeardRenameTest &)> meanwhile;
    HeardMove expected;
    FolderEntries after;
    bool linked = false; // the heard name is a second link of the new file
};

TEST_P(HeardRenameTest, OnlyThePlayedFileTakesTheHeardNameAndNothingIsReplaced)
{
    const auto renameToHeard = [](HeardRenameTest &t) {
        ASSERT_TRUE(QFile::rename(t.path(u"NA000000001A.vox"_s), t.path(u"MA000000001A.vox"_s)));
    };
    const MoveCase cases[] = {
        {"only the new file",
         {{u"NA000000001A.vox"_s, "one"}},
         u"NA000000001A"_s,
         {},
         HeardMove::Renamed,
         {{u"MA000000001A.vox"_s, "one"}}},
        {"heard on another workstation meanwhile",
         {{u"NA000000001A.vox"_s, "one"}},
         u"NA000000001A"_s,
         renameToHeard,
         HeardMove::HeardElsewhere,
         {{u"MA000000001A.vox"_s, "one"}}},
        {"parked by another workstation meanwhile",
         {{u"NA000000001A.vox"_s, "one"}},
         u"NA000000001A"_s,
         [](HeardRenameTest &t) {
             QFile::rename(t.path(u"NA000000001A.vox"_s),
                           t.path(u"NA000000001A.heard-ws2-9-1.vox"_s));
         },
         HeardMove::HeardElsewhere,
         {{u"NA000000001A.heard-ws2-9-1.vox"_s, "one"}}},
        {"purged meanwhile",
         {{u"NA000000001A.vox"_s, "one"}},
         u"NA000000001A"_s,
         [](HeardRenameTest &t) { QFile::remove(t.path(u"NA000000001A.vox"_s)); },
         HeardMove::Gone,
         {}},
        {"heard elsewhere, then a newer recording under the new name",
         {{u"NA000000001A.vox"_s, "one"}},
         u"NA000000001A"_s,
         [&](HeardRenameTest &t) {
             renameToHeard(t);
             t.write(u"NA000000001A.vox"_s, "newer");
         },
         HeardMove::NewerCopy,
         {{u"MA000000001A.vox"_s, "one"}, {u"NA000000001A.vox"_s, "newer"}}},
        {"a newer recording of the same length",
         {{u"NA000000001A.vox"_s, "one"}},
         u"NA000000001A"_s,
         [](HeardRenameTest &t) {
             QFile::remove(t.path(u"NA000000001A.vox"_s));
             ::usleep(2000); // another modification time on any disk
             t.write(u"NA000000001A.vox"_s, "two");
         },
         HeardMove::NewerCopy,
         {{u"NA000000001A.vox"_s, "two"}}},
        {"heard name held by another message",
         {{u"NA000000001A.vox"_s, "one"}, {u"MA000000001A.vox"_s, "older"}},
         u"NA000000001A"_s,
         {},
         HeardMove::HeardNameTaken,
         {{u"MA000000001A.vox"_s, "older"}, {u"NA000000001A.vox"_s, "one"}}},
        {"a heard copy of the same bytes",
         {{u"NA000000001A.vox"_s, "one"}, {u"MA000000001A.vox"_s, "one"}},
         u"NA000000001A"_s,
         {},
         HeardMove::Renamed,
         {{u"MA000000001A.vox"_s, "one"}}},
        {"heard name differing in letter case alone",
         {{u"nA000000001a.vox"_s, "new"}, {u"MA000000001A.vox"_s, "heard"}},
         u"nA000000001a"_s,
         {},
         HeardMove::HeardNameTaken,
         {{u"MA000000001A.vox"_s, "heard"}, {u"nA000000001a.vox"_s, "new"}}},
        {"one file under both names",
         {{u"NA000000001A.vox"_s, "one"}},
         u"NA000000001A"_s,
         {},
         HeardMove::Renamed,
         {{u"MA000000001A.vox"_s, "one"}},
         true},
    };
    for (const MoveCase &c : cases) {
        SCOPED_TRACE(c.what);
        put(c.before);
        if (c.linked) {
            ASSERT_EQ(::link(QFile::encodeName(path(u"NA000000001A.vox"_s)).constData(),
                             QFile::encodeName(path(u"MA000000001A.vox"_s)).constData()),
                      0);
        }
        FileFacts played;
        ASSERT_EQ(share.stat(path(c.played + u".vox"), played), 0);
        if (c.meanwhile)
            c.meanwhile(*this);

        const HeardMoveResult result =
            moveToHeardName(dir, c.played, u'M' + c.played.mid(1), played, share);
        EXPECT_EQ(result.outcome, c.expected) << "errno " << result.error;
        EXPECT_TRUE(result.parked.isEmpty());
        EXPECT_EQ(contents(), c.after);
    }
}

// Where the heard name is taken by a look and a rename on a share that
// ignores case, a claim keeps out a message whose heard name differs in case
// alone.
TEST_P(HeardRenameTest, AClaimOnTheHeardNameIsWaitedForAndAStaleOneRemoved)
{
    const QString claim = u".vnorvak-claim-MA000000001A.VOX"_s;
    const bool claims = GetParam() != Share::LocalDisk; // there the kernel refuses
    FakeClock clock;
    struct ClaimCase {
        const char *what;
        qint64 claimAgeSecs;
        HeardMove expected;
        FolderEntries after;
    };
    const ClaimCase cases[] = {
        {"held by another workstation marking a case twin",
         1,
         claims ? HeardMove::Busy : HeardMove::Renamed,
         {{claim, "<folder>"}, {claims ? u"NA000000001A.vox"_s : u"MA000000001A.vox"_s, "one"}}},
        {"left by a workstation that stopped",
         45,
         HeardMove::Renamed,
         {{u"MA000000001A.vox"_s, "one"}}},
    };
    for (const ClaimCase &c : cases) {
        SCOPED_TRACE(c.what);
        put({{u"NA000000001A.vox"_s, "one"}});
        ASSERT_TRUE(QDir().mkpath(path(claim.toLower())));
        const timespec times[2] = {{time(nullptr) - c.claimAgeSecs, 0},
                                   {time(nullptr) - c.claimAgeSecs, 0}};
        ASSERT_EQ(
            ::utimensat(AT_FDCWD, QFile::encodeName(path(claim.toLower())).constData(), times, 0),
            0);
        FileFacts played;
        ASSERT_EQ(share.stat(path(u"NA000000001A.vox"_s), played), 0);
        const HeardMoveResult result =
            moveToHeardName(dir, u"NA000000001A"_s, u"MA000000001A"_s, played, share);
        EXPECT_EQ(result.outcome, c.expected) << "errno " << result.error;
        FolderEntries after = c.after;
        if (after.count(claim)) {
            after[claim.toLower()] = after[claim];
            after.erase(claim);
        }
        if (!claims)
            after[claim.toLower()] = "<folder>"; // untouched
        EXPECT_EQ(contents(), after);
    }
}

TEST_P(HeardRenameTest, AParkedMessageIsPutInItsPlaceAndNeverReplacesAnother)
{
    const QString parked = u"NA000000001A.heard-ws9-77-1.vox"_s;
    EXPECT_TRUE(isParkedName(parked));
    EXPECT_FALSE(isParkedName(u"NA000000001A.vox"_s));
    EXPECT_FALSE(isParkedName(u"NA000000001A.vox.heard-x"_s));

    struct SettleCase {
        const char *what;
        FolderEntries before;
        ParkedSettle expected;
        FolderEntries after; // "*" stands for the parking name left behind
    };
    const SettleCase cases[] = {
        {"heard name free",
         {{parked, "one"}},
         ParkedSettle::Finished,
         {{u"MA000000001A.vox"_s, "one"}}},
        {"heard name taken",
         {{parked, "one"}, {u"MA000000001A.vox"_s, "other"}},
         ParkedSettle::Restored,
         {{u"MA000000001A.vox"_s, "other"}, {u"NA000000001A.vox"_s, "one"}}},
        {"both names taken",
         {{parked, "one"}, {u"MA000000001A.vox"_s, "other"}, {u"NA000000001A.vox"_s, "newer"}},
         ParkedSettle::LeftParked,
         {{u"*"_s, "one"}, {u"MA000000001A.vox"_s, "other"}, {u"NA000000001A.vox"_s, "newer"}}},
        {"settled by another workstation", {}, ParkedSettle::Gone, {}},
    };
    for (const SettleCase &c : cases) {
        SCOPED_TRACE(c.what);
        put(c.before);
        const ParkedSettleResult result = settleParkedMessage(dir, parked, share);
        EXPECT_EQ(result.outcome, c.expected);
        FolderEntries after = c.after;
        if (after.count(u"*"_s)) {
            EXPECT_TRUE(isParkedName(result.parked)) << result.parked.toStdString();
            after[result.parked] = after[u"*"_s];
            after.erase(u"*"_s);
        }
        EXPECT_EQ(contents(), after);
    }
}

std::string shareName(const ::testing::TestParamInfo<Share> &info)
{
    switch (info.param) {
    case Share::LocalDisk:
        return "LocalDisk";
    case Share::DiskWithoutNoReplace:
        return "DiskWithoutNoReplace";
    case Share::Network:
        return "Network";
    }
    return "?";
}
INSTANTIATE_TEST_SUITE_P(Shares, HeardRenameTest,
                         ::testing::Values(Share::LocalDisk, Share::DiskWithoutNoReplace,
                                           Share::Network),
                         shareName);

} // namespace
