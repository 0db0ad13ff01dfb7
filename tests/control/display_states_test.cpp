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
#include <QLabel>
#include <QPushButton>

using namespace VNOrvak;
using namespace Qt::StringLiterals;

namespace
{

class DisplayStatesTest : public ::testing::Test
{
protected:
    DisplayStatesTest()
    {
        w = buildControlWindow(&host);
        facts.msMsgDir = ws.root();
    }

    void show(int state, const QString &text = {}) { renderDisplayState(w, state, text, facts); }

    // What the operator sees, left to right: each widget not hidden, a
    // button by its caption (in brackets when disabled), a label by its text.
    QString seen() const
    {
        QStringList out;
        const auto add = [&](const QWidget *widget, const QString &text) {
            if (!widget->isHidden())
                out << (widget->isEnabled() ? text : u'[' + text + u']');
        };
        add(w.cmdNewMsg, w.cmdNewMsg->text());
        add(w.shpMsg, u"shape"_s);
        for (const QPushButton *b : {w.cmdPrevMsg, w.cmdNextMsg, w.cmdPlayAll, w.cmdPlayLast})
            add(b, b->text());
        add(w.lblCallDate, u"date:" + w.lblCallDate->text());
        add(w.lblMessages, u"count:" + w.lblMessages->text());
        add(w.lblNotes, u"notes:" + w.lblNotes->text());
        return out.join(u'|');
    }
    QColor messagesColor() const { return w.lblMessages->palette().color(QPalette::WindowText); }

    void entityWith(int count)
    {
        facts.msEntityID = u"000001234"_s;
        facts.mbHasEntityMsgs = count > 0;
        facts.mlEntityMsgCnt = count;
        facts.msgListEmpty = false;
    }

    TestWorkstation ws; // the messages folder
    QWidget host;
    ControlWidgets w;
    DisplayFacts facts;
    RecordingPrompter prompter;
};

} // namespace

TEST_F(DisplayStatesTest, IdleStatesFollowTheEntity)
{
    facts.msgListEmpty = false;
    show(dsNewMessages); // no entity selected
    EXPECT_EQ(seen(), u"&New Msg|shape|&Previous|Ne&xt|[&Play]|[Play &Last]");

    entityWith(0); // an entity without messages: notes shown with what they hold
    w.lblNotes->setText(u"Unable to make Connection"_s);
    show(dsNewMessages);
    EXPECT_EQ(
        seen(),
        u"&New Msg|shape|&Previous|Ne&xt|[&Play]|[Play &Last]|notes:Unable to make Connection");

    entityWith(3);
    w.lblNotes->clear();
    show(dsNewMessages);
    EXPECT_EQ(seen(), u"&New Msg|shape|&Previous|Ne&xt|&Play|Play &Last|count:3 messages|notes:");
    EXPECT_EQ(messagesColor(), QColor(255, 0, 0));

    // Previous and Next follow the folder's list in the new-messages state only.
    facts.msgListEmpty = true;
    show(dsNewMessages);
    EXPECT_EQ(seen(),
              u"&New Msg|shape|[&Previous]|[Ne&xt]|&Play|Play &Last|count:3 messages|notes:");
    show(dsNoNewMessages);
    EXPECT_EQ(seen(), u"[&New Msg]|&Previous|Ne&xt|&Play|Play &Last|count:3 messages|notes:");
    EXPECT_EQ(messagesColor(), QColor(255, 255, 0));

    entityWith(1); // a single message: Play plays what Play Last would
    show(dsNoNewMessages);
    EXPECT_EQ(seen(), u"[&New Msg]|&Previous|Ne&xt|&Play|[Play &Last]|count:1 message|notes:");
}

TEST_F(DisplayStatesTest, PlayingPausedAndBack)
{
    entityWith(1);
    facts.mlEntityPos = 1;
    const QString name = u"NA000001234A"_s;
    writeMessageFile(ws.root(), name + u".vox", QDateTime(QDate(2026, 3, 5), QTime(14, 7)));

    show(dsNoNewMessages);
    show(dsPlaying, name); // the shape and the count label keep what the idle state set
    EXPECT_EQ(seen(), u"[&New Msg]|Pau&se|&Stop|date:Call received on  Mar 5 at 2:07 pm|"
                      u"count:1 of 1 message");
    // The whole date fits the label's area, whatever the width of the font.
    const QRect area = w.lblCallDate->contentsRect();
    const QRect needed = QFontMetrics(w.lblCallDate->font())
                             .boundingRect(area, Qt::TextWordWrap, w.lblCallDate->text());
    EXPECT_LE(needed.height(), area.height());
    EXPECT_LE(needed.width(), area.width());

    show(dsPaused);
    EXPECT_EQ(seen(), u"[&New Msg]|Res&ume|&Stop|date:Call received on  Mar 5 at 2:07 pm|"
                      u"count:1 of 1 message");

    // The no-messages state only disables the play buttons: captions stay.
    show(dsNoMessages);
    EXPECT_EQ(seen(), u"[&New Msg]|[&Previous]|[Ne&xt]|[Res&ume]|[&Stop]");
    show(dsNoNewMessages);
    EXPECT_EQ(w.cmdPlayAll->text(), u"&Play");
    EXPECT_EQ(w.cmdPlayLast->text(), u"Play &Last");
    EXPECT_TRUE(prompter.boxes.isEmpty());
}

TEST_F(DisplayStatesTest, PlayingAMessageThatVanishedReportsAndChangesNothing)
{
    entityWith(2);
    show(dsNoNewMessages);
    const QString before = seen();
    show(dsPlaying, u"NA000001234A"_s);
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
    EXPECT_EQ(seen(), u"[&New Msg]|[&Play]|[Play &Last]|date:Making a Connection|count:2 messages");

    show(dsNoNewMessages);
    facts.mbUseSoundCard = true;
    show(dsNoDevice);
    EXPECT_EQ(seen(), u"[&New Msg]|[&Previous]|[Ne&xt]|[&Play]|[Play &Last]|"
                      u"notes:No Soundcard Installed");
    facts.mbUseSoundCard = false;
    show(dsNoDevice);
    EXPECT_EQ(w.lblNotes->text(), u"No Voice Board Installed");

    const QString before = seen();
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
