// Marking a heard message new again follows the rules of marking heard with
// the names' roles swapped: nothing is replaced, and a mark stopped half-way
// leaves the message as it was.

#include "control/new_rename.h"

#include "message_folder.h"

#include "support/qstring_printer.h"
#include "support/test_environment.h"

#include <gtest/gtest.h>

#include <QDir>

#include <cerrno>

using namespace VNOrvak;
using namespace Qt::StringLiterals;

namespace
{

// The local folder seen as a network share, whose server cannot refuse to
// replace in one step: the mark goes through a parking name.
class NetworkShare final : public MessageFileSystem
{
public:
    int renameNoReplace(const QString &, const QString &) override { return EINVAL; }
    bool isLocal(const QString &) override { return false; }
};

class NewRenameTest : public ::testing::TestWithParam<bool>
{
protected:
    NewRenameTest() { QDir().mkpath(dir); }
    MessageFileSystem &fs() { return GetParam() ? network : messageFileSystem(); }
    void put(const FolderEntries &files) { fillFolder(dir, files); }
    FolderEntries contents() const { return folderContents(dir); }

    TestWorkstation ws;
    const QString dir = ws.root() + u"messages/"_s;
    NetworkShare network;
};

TEST_P(NewRenameTest, OnlyTheHeardFileTakesTheNewNameAndNothingIsReplaced)
{
    const QString heard = u"MA000000001A.vox"_s;
    const QString fresh = u"NA000000001A.vox"_s;
    const struct {
        const char *what;
        FolderEntries before;
        HeardMove expected;
        FolderEntries after;
    } cases[] = {
        {"heard only", {{heard, "one"}}, HeardMove::Renamed, {{fresh, "one"}}},
        {"marked new elsewhere", {{fresh, "one"}}, HeardMove::HeardElsewhere, {{fresh, "one"}}},
        {"the new name holds another message",
         {{heard, "one"}, {fresh, "newer"}},
         HeardMove::HeardNameTaken,
         {{heard, "one"}, {fresh, "newer"}}},
        {"the new name holds the same bytes",
         {{heard, "one"}, {fresh, "one"}},
         HeardMove::Renamed,
         {{fresh, "one"}}},
        {"purged", {}, HeardMove::Gone, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        put(c.before);
        EXPECT_EQ(moveToNewName(dir, u"MA000000001A"_s, u"NA000000001A"_s, fs()).outcome,
                  c.expected);
        EXPECT_EQ(contents(), c.after);
    }
}

TEST_P(NewRenameTest, AMarkStoppedHalfWayLeavesTheMessageHeard)
{
    // Parked under the heard name, as a mark-new on a share parks it.
    const QString parked = u"MA000000001A.heard-ws9-77-1.vox"_s;
    ASSERT_TRUE(isParkedName(parked));
    put({{parked, "one"}});
    EXPECT_EQ(settleParkedMessage(dir, parked, fs()).outcome, ParkedSettle::Finished);
    EXPECT_EQ(contents(), (FolderEntries{{u"MA000000001A.vox"_s, "one"}}));
}

INSTANTIATE_TEST_SUITE_P(Shares, NewRenameTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool> &info) {
                             return std::string(info.param ? "Network" : "LocalDisk");
                         });

} // namespace
