// The console's prompter: a problem that keeps coming back is one modal box
// and then one band on the console, told in plain words, with every box in
// the event log.

#include "host/event_log_pane.h"
#include "host/operator_prompter.h"
#include "host/plain_words.h"
#include "host/problem_banner.h"

#include "support/fake_clock.h"

#include <gtest/gtest.h>

#include <QPushButton>

using namespace VNOrvak;
using namespace Qt::StringLiterals;

namespace
{

const QString kFolder = u"/srv/vn/VNT/Data/messages/"_s;

QString renameFailure(const QString &name)
{
    return u"Error 70 { 70-Cannot rename "_s + kFolder + name + u".vox to "_s + kFolder + u"M"_s +
           name.mid(1) + u".vox: Permission denied } occurred at 54 in VNOrvak"_s;
}

TEST(PlainWordsTest, ErrorReportsBecomeWhatTheyMeanForTheOperatorWithThePlace)
{
    const PlainProblem p = plainProblem(renameFailure(u"NA000001001A"_s));
    EXPECT_EQ(p.what, u"VN-Orvak is not allowed to read or change a file or folder.");
    EXPECT_EQ(p.where, kFolder); // a message file stands for its folder
    EXPECT_EQ(p.details, renameFailure(u"NA000001001A"_s));
    // Another message in the same folder is the same problem.
    EXPECT_EQ(plainProblem(renameFailure(u"NA000002002B"_s)).kind, p.kind);
    EXPECT_NE(plainProblem(u"Error 76 { 76-Path not found } occurred at 9 in VNOrvak"_s).kind,
              p.kind);

    // Texts already in plain words keep their first sentence; the names of
    // the messages they mention do not make another problem of them.
    const PlainProblem played =
        plainProblem(u"Message NA000001001A could not be played: no sound card. It stays new."_s);
    EXPECT_EQ(played.what, u"Message NA000001001A could not be played: no sound card.");
    EXPECT_EQ(plainProblem(u"Message NA000002002B could not be played: no sound card."_s).kind,
              played.kind);

    const PlainProblem call =
        plainProblem(u"InitializeForProgram failed: error 6 (Overflow) at line 40 in VNOrvak"_s);
    EXPECT_EQ(call.what, u"InitializeForProgram failed. Something went wrong: Overflow.");
}

class OperatorPrompterTest : public ::testing::Test
{
protected:
    FakeClock clock; // 2026-03-14 09:30:00
    EventLogPane log;
    ProblemBanner banner;
    QStringList shown; // the modal boxes: their plain words
    OperatorPrompter prompter{
        log, banner,
        [this](const PlainProblem &p, modVNQRN::MsgBoxIcon, const QString &) { shown << p.what; }};
};

TEST_F(OperatorPrompterTest, ARepeatedProblemIsOneBoxThenOneBandUntilThePlaceIsFine)
{
    modVNQRN::MsgBox(renameFailure(u"NA000001001A"_s), modVNQRN::MsgBoxIcon::Critical);
    clock.advanceMs(5000);
    modVNQRN::MsgBox(renameFailure(u"NA000002002A"_s), modVNQRN::MsgBoxIcon::Critical);
    clock.advanceMs(5000);
    modVNQRN::MsgBox(renameFailure(u"NA000003003A"_s), modVNQRN::MsgBoxIcon::Critical);

    EXPECT_EQ(shown.size(), 1);
    EXPECT_FALSE(banner.isHidden());
    EXPECT_EQ(banner.summary(), u"VN-Orvak is not allowed to read or change a file or folder. "
                                u"Where: /srv/vn/VNT/Data/messages/. Since 09:30:00. "
                                u"Retrying (3 times so far).");
    EXPECT_EQ(banner.details(), renameFailure(u"NA000003003A"_s));
    // Every box is in the log, the repeats marked as such.
    const QStringList &entries = log.entries();
    ASSERT_EQ(entries.size(), 4);
    EXPECT_TRUE(entries[0].startsWith(u"Box \"VN-Orvak\": Error 70"));
    EXPECT_EQ(entries[1], u"Box closed \"VN-Orvak\"");
    EXPECT_TRUE(entries[3].startsWith(u"Box again (on the band, 3 times) \"VN-Orvak\": Error 70"));

    // Another kind of problem meanwhile gets its own box.
    modVNQRN::MsgBox(u"Error 61 { 61-Disk full } occurred at 3 in VNOrvak"_s);
    EXPECT_EQ(shown.size(), 2);
    EXPECT_EQ(prompter.problems(), 2);

    // The folder is fine again: that problem is over, and its next box is a
    // new problem with a box of its own.
    prompter.endProblemsAt(kFolder);
    EXPECT_EQ(prompter.problems(), 1);
    EXPECT_TRUE(log.entries().last().startsWith(u"Problem over (found fine again)"));
    modVNQRN::MsgBox(renameFailure(u"NA000001001A"_s));
    EXPECT_EQ(shown.size(), 3);

    // Two quiet minutes end a problem too.
    clock.advanceMs(OperatorPrompter::kQuietMs);
    prompter.endQuietProblems();
    EXPECT_EQ(prompter.problems(), 0);
    EXPECT_TRUE(banner.isHidden());
}

TEST_F(OperatorPrompterTest, TheBandShowsDetailsOnRequestAndIsDismissedWithALogLine)
{
    modVNQRN::MsgBox(renameFailure(u"NA000001001A"_s));
    modVNQRN::MsgBox(renameFailure(u"NA000001001B"_s));
    auto *details = banner.findChild<QPushButton *>(u"cmdProblemDetails"_s);
    auto *dismiss = banner.findChild<QPushButton *>(u"cmdProblemDismiss"_s);
    ASSERT_TRUE(details && dismiss);
    EXPECT_FALSE(banner.detailsShown());
    details->click();
    EXPECT_TRUE(banner.detailsShown());
    dismiss->click();
    EXPECT_TRUE(banner.isHidden());
    EXPECT_EQ(log.entries().mid(log.entries().size() - 2),
              (QStringList{u"Operator: Details shown"_s, u"Operator: Problem band dismissed"_s}));
    // Dismissed is not over: the next repeat shows the band, and no box.
    modVNQRN::MsgBox(renameFailure(u"NA000001001C"_s));
    EXPECT_FALSE(banner.isHidden());
    EXPECT_EQ(shown.size(), 1);
}

} // namespace
