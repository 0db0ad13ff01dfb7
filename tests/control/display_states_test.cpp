// The window in each display state: which buttons are enabled and shown,
// their captions, and what the labels say.

#include "control/control_window.h"
#include "control/display_states.h"
#include "control/shape_widget.h"
#include "control/state_renderers.h"

#include "message_folder.h"
#include "support/recording_prompter.h"
#include "support/test_environment.h"

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include <ostream>

using namespace VNOrvak;

namespace
{

// One row of what the operator sees: the five buttons and three labels.
struct Seen {
    bool newEnabled, shapeVisible, prevVisible, prevEnabled, nextEnabled;
    QString playCaption;
    bool playEnabled;
    QString lastCaption;
    bool lastEnabled, callDateVisible, messagesVisible, notesVisible;
    bool operator==(const Seen &) const = default;
};

void PrintTo(const Seen &s, std::ostream *os)
{
    *os << "new " << s.newEnabled << " shape " << s.shapeVisible << " prev " << s.prevVisible
        << s.prevEnabled << " next " << s.nextEnabled << " play " << s.playCaption.toStdString()
        << s.playEnabled << " last " << s.lastCaption.toStdString() << s.lastEnabled << " labels "
        << s.callDateVisible << s.messagesVisible << s.notesVisible;
}

class DisplayStatesTest : public ::testing::Test
{
protected:
    DisplayStatesTest() { w = buildControlWindow(&host); }

    void show(int state, const QString &text = {}) { renderDisplayState(w, state, text, facts); }

    Seen seen() const
    {
        return {w.cmdNewMsg->isEnabled(),   !w.shpMsg->isHidden(),      !w.cmdPrevMsg->isHidden(),
                w.cmdPrevMsg->isEnabled(),  w.cmdNextMsg->isEnabled(),  w.cmdPlayAll->text(),
                w.cmdPlayAll->isEnabled(),  w.cmdPlayLast->text(),      w.cmdPlayLast->isEnabled(),
                !w.lblCallDate->isHidden(), !w.lblMessages->isHidden(), !w.lblNotes->isHidden()};
    }
    QColor messagesColor() const { return w.lblMessages->palette().color(QPalette::WindowText); }

    void entityWith(int count)
    {
        facts.msEntityID = QStringLiteral("000001234");
        facts.mbHasEntityMsgs = count > 0;
        facts.mlEntityMsgCnt = count;
        facts.msgListEmpty = false;
    }

    QWidget host;
    ControlWidgets w;
    DisplayFacts facts;
    RecordingPrompter prompter;
};

const QString kPlay = QStringLiteral("&Play");
const QString kLast = QStringLiteral("Play &Last");

} // namespace

TEST_F(DisplayStatesTest, WindowHasItsDesignTimeLayout)
{
    // 1440 twips to the inch: the frame is 3375 x 1335 twips.
    EXPECT_EQ(w.fraVoice->width(), twipsToPixels(3375, host.logicalDpiX()));
    EXPECT_EQ(twipsToPixels(975, 96), 65);
    // The shape lies beneath the button it surrounds.
    EXPECT_TRUE(w.shpMsg->geometry().contains(w.cmdNewMsg->geometry()));
    EXPECT_EQ(w.cmdPrevMsg->nextInFocusChain(), w.cmdNewMsg);
}

TEST_F(DisplayStatesTest, NewMessagesStateFollowsTheEntity)
{
    facts.msgListEmpty = false;
    show(dsNewMessages); // no entity selected
    EXPECT_EQ(seen(), (Seen{true, true, true, true, true, kPlay, false, kLast, false, false, false,
                            false}));

    entityWith(0); // an entity without messages: notes shown with what they hold
    w.lblNotes->setText(QStringLiteral("Unable to make Connection"));
    show(dsNewMessages);
    EXPECT_EQ(seen(),
              (Seen{true, true, true, true, true, kPlay, false, kLast, false, false, false, true}));
    EXPECT_EQ(w.lblNotes->text(), u"Unable to make Connection");

    entityWith(3);
    show(dsNewMessages);
    EXPECT_EQ(seen(),
              (Seen{true, true, true, true, true, kPlay, true, kLast, true, false, true, true}));
    EXPECT_EQ(w.lblMessages->text(), u"3 messages");
    EXPECT_EQ(messagesColor(), QColor(255, 0, 0));

    // Previous and Next follow the folder's list in this state only.
    facts.msgListEmpty = true;
    show(dsNewMessages);
    EXPECT_FALSE(w.cmdPrevMsg->isEnabled());
    show(dsNoNewMessages);
    EXPECT_TRUE(w.cmdPrevMsg->isEnabled());
}

TEST_F(DisplayStatesTest, NoNewMessagesStateShowsTheCountInYellow)
{
    entityWith(1);
    show(dsNoNewMessages);
    EXPECT_EQ(seen(),
              (Seen{false, false, true, true, true, kPlay, true, kLast, false, false, true, true}));
    EXPECT_EQ(w.lblMessages->text(), u"1 message");
    EXPECT_EQ(messagesColor(), QColor(255, 255, 0));

    entityWith(2);
    show(dsNoNewMessages);
    EXPECT_EQ(w.lblMessages->text(), u"2 messages");
    EXPECT_TRUE(w.cmdPlayLast->isEnabled());
}

TEST_F(DisplayStatesTest, PlayingPausedAndBack)
{
    TestWorkstation ws;
    facts.msMsgDir = ws.root();
    entityWith(1);
    facts.mlEntityPos = 1;
    const QString name = QStringLiteral("NA000001234A");
    writeMessageFile(ws.root(), name + u".vox", QDateTime(QDate(2026, 3, 5), QTime(14, 7)));

    show(dsNoNewMessages);
    show(dsPlaying, name); // the shape and the count label keep what the idle state set
    EXPECT_EQ(seen(), (Seen{false, false, false, false, false, QStringLiteral("Pau&se"), true,
                            QStringLiteral("&Stop"), true, true, true, false}));
    EXPECT_EQ(w.lblMessages->text(), u"1 of 1 message");
    EXPECT_EQ(w.lblCallDate->text(), u"Call received on  Mar 5 at 2:07 pm");
    // The whole date fits the label's area, whatever the width of the font.
    const QRect area = w.lblCallDate->contentsRect();
    const QRect needed = QFontMetrics(w.lblCallDate->font())
                             .boundingRect(area, Qt::TextWordWrap, w.lblCallDate->text());
    EXPECT_LE(needed.height(), area.height());
    EXPECT_LE(needed.width(), area.width());

    show(dsPaused);
    EXPECT_EQ(seen(), (Seen{false, false, false, false, false, QStringLiteral("Res&ume"), true,
                            QStringLiteral("&Stop"), true, true, true, false}));

    // The no-messages state only disables the play buttons: captions stay.
    show(dsNoMessages);
    EXPECT_EQ(seen(), (Seen{false, false, true, false, false, QStringLiteral("Res&ume"), false,
                            QStringLiteral("&Stop"), false, false, false, false}));
    show(dsNoNewMessages);
    EXPECT_EQ(w.cmdPlayAll->text(), kPlay);
    EXPECT_EQ(w.cmdPlayLast->text(), kLast);
    EXPECT_TRUE(prompter.boxes.isEmpty());
}

TEST_F(DisplayStatesTest, PlayingAMessageThatVanishedReportsAndChangesNothing)
{
    TestWorkstation ws;
    facts.msMsgDir = ws.root();
    entityWith(2);
    show(dsNoNewMessages);
    const Seen before = seen();
    show(dsPlaying, QStringLiteral("NA000001234A"));
    EXPECT_EQ(seen(), before);
    ASSERT_EQ(prompter.boxes.size(), 1);
    EXPECT_TRUE(prompter.boxes[0].text.startsWith(u"Error 53 { 53-File not found }"));
}

TEST_F(DisplayStatesTest, ConnectingNoDeviceAndUnknownStates)
{
    entityWith(2);
    show(dsNoNewMessages);
    w.cmdPlayAll->setVisible(false);
    show(dsConnecting);
    EXPECT_EQ(seen(), (Seen{false, false, false, false, false, kPlay, false, kLast, false, true,
                            true, false}));
    EXPECT_FALSE(w.cmdPlayAll->isHidden());
    EXPECT_EQ(w.lblCallDate->text(), u"Making a Connection");

    show(dsNoNewMessages);
    facts.mbUseSoundCard = true;
    show(dsNoDevice);
    EXPECT_EQ(seen(), (Seen{false, false, true, false, false, kPlay, false, kLast, false, false,
                            false, true}));
    EXPECT_EQ(w.lblNotes->text(), u"No Soundcard Installed");
    facts.mbUseSoundCard = false;
    show(dsNoDevice);
    EXPECT_EQ(w.lblNotes->text(), u"No Voice Board Installed");

    const Seen before = seen();
    show(0);
    show(8);
    EXPECT_EQ(seen(), before);
}

TEST(DisplayTexts, CallDateAroundMidnightAndNoon)
{
    EXPECT_EQ(callReceivedText(QDateTime(QDate(2026, 12, 31), QTime(0, 5))),
              u"Call received on  Dec 31 at 12:05 am");
    EXPECT_EQ(callReceivedText(QDateTime(QDate(2026, 1, 1), QTime(12, 0))),
              u"Call received on  Jan 1 at 12:00 pm");
}
