#include "message_control.h"

#include "display_states.h"
#include "numeric_value.h"
#include "reported_step.h"

#include "shared/error.h"
#include "shared/list_items.h"
#include "shared/prompter.h"

#include <QPushButton>

#include <cmath>
#include <limits>

using modVNQRN::GetLeftItem;

namespace VNOrvak
{

namespace
{

const QString kComma = QStringLiteral(",");

// The entity id of a message name: its characters 3 to 11.
QString nameID(const QString &name)
{
    return name.mid(2, 9);
}

// Seconds as the helper reports them, rounded to a whole number (halves to
// the even neighbour).
qint32 wholeSeconds(const QString &secs)
{
    const double value = std::nearbyint(NumericValue(secs));
    if (value > std::numeric_limits<qint32>::max() || value < std::numeric_limits<qint32>::min())
        throw modVNQRN::Error(modVNQRN::errOverflow);
    return static_cast<qint32>(value);
}

} // namespace

void MessageControl::connectButtons()
{
    connect(m_w.cmdNewMsg, &QPushButton::clicked, this,
            [this] { clicked(&MessageControl::cmdNewMsg_Click); });
    connect(m_w.cmdPrevMsg, &QPushButton::clicked, this,
            [this] { clicked(&MessageControl::cmdPrevMsg_Click); });
    connect(m_w.cmdNextMsg, &QPushButton::clicked, this,
            [this] { clicked(&MessageControl::cmdNextMsg_Click); });
    connect(m_w.cmdPlayAll, &QPushButton::clicked, this,
            [this] { clicked(&MessageControl::cmdPlayAll_Click); });
    connect(m_w.cmdPlayLast, &QPushButton::clicked, this,
            [this] { clicked(&MessageControl::cmdPlayLast_Click); });
}

// A click on a button has no caller to hand a failure to: it is reported.
void MessageControl::clicked(void (MessageControl::*handler)())
{
    runReported([&] { (this->*handler)(); });
}

void MessageControl::ClickNewMsgButton()
{
    cmdNewMsg_Click();
}
void MessageControl::ClickPrevMsgButton()
{
    cmdPrevMsg_Click();
}
void MessageControl::ClickNextMsgButton()
{
    cmdPrevMsg_Click();
}
void MessageControl::ClickPlayAllMsgButton()
{
    cmdPlayAll_Click();
}
void MessageControl::ClickPlayLastMsgButton()
{
    cmdPlayLast_Click();
}

// A playback started afresh forgets what an earlier Stop or Pause left behind.
void MessageControl::startAfresh()
{
    mbStopRequested = false;
    mlResumeSecs = 0;
}

void MessageControl::cmdNewMsg_Click()
{
    m_core.setTimerEnabled(false);
    // Only status letters count: an "N" elsewhere in a name is not a new message.
    QString id;
    runReported([&] {
        QString copy = m_core.store().msMsgList;
        while (!copy.isEmpty()) {
            const QString name = GetLeftItem(copy, kComma);
            if (name.left(1).toUpper() == u"N") {
                id = nameID(name);
                break;
            }
        }
    });
    if (id.isNull()) {
        runReported([] {
            modVNQRN::MsgBox(QStringLiteral("New Message listened to on another workstation"));
        });
        runReported([&] { m_core.UpdateDisplayState(); });
    } else {
        runReported([&] { InitializeForID(id); });
        startAfresh();
        mbPlayNewMode = true;
        runReported([&] {
            qint32 skip = 0;
            PlayNewMsg(skip);
        });
    }
    m_core.setTimerEnabled(true);
}

void MessageControl::selectAndPlayAll(const QString &msgID)
{
    runReported([&] { InitializeForID(msgID); });
    startAfresh();
    mbPlayAllMode = true;
    mbPlayNewMode = false;
    runReported([&] {
        qint32 skip = 0;
        PlayAllMsgs(skip);
    });
}

void MessageControl::cmdNextMsg_Click()
{
    m_core.setTimerEnabled(false);
    QString id;
    bool found = false;
    runReported([&] {
        const double current = NumericValue(m_core.store().msEntityID);
        QString copy = m_core.store().msMsgList;
        while (!copy.isEmpty() && !found) {
            id = nameID(GetLeftItem(copy, kComma));
            found = NumericValue(id) > current;
        }
        // None above the current entity: around to the lowest id.
        if (!found) {
            copy = m_core.store().msMsgList;
            id = nameID(GetLeftItem(copy, kComma));
        }
    });
    selectAndPlayAll(id);
    m_core.setTimerEnabled(true);
}

void MessageControl::cmdPrevMsg_Click()
{
    m_core.setTimerEnabled(false);
    QString id;
    bool found = false;
    runReported([&] {
        const double current = NumericValue(m_core.store().msEntityID);
        QString list = m_core.store().msMsgList;
        if (list.endsWith(u','))
            list.chop(1);
        QString copy = list;
        while (!copy.isEmpty() && !found) {
            id = nameID(MessageStore::GetRightItem(copy, kComma));
            found = NumericValue(id) < current;
        }
        // None below the current entity: around to the highest id.
        if (!found) {
            copy = list;
            id = nameID(MessageStore::GetRightItem(copy, kComma));
        }
    });
    selectAndPlayAll(id);
    m_core.setTimerEnabled(true);
}

void MessageControl::cmdPlayAll_Click()
{
    m_core.setTimerEnabled(false);
    const QString caption = m_w.cmdPlayAll->text();
    if (caption == u"Pau&se") {
        // The caption changes before the playback stops, so that the play
        // procedure sees the pause when its play call returns.
        runReported([&] { m_core.ShowState(dsPaused, QString()); });
        QString secs;
        runReported([&] { secs = phoneHelp().PauseMsg(); });
        runReported([&] { mlResumeSecs += wholeSeconds(secs); });
    } else if (caption == u"Res&ume") {
        // The field itself is the skip value: the play procedure clears it
        // once the resumed message has been played.
        runReported([&] {
            if (mbPlayNewMode)
                PlayNewMsg(mlResumeSecs);
            else if (mbPlayAllMode)
                PlayAllMsgs(mlResumeSecs);
            else
                PlayLastMsg(mlResumeSecs);
        });
    } else if (caption == u"&Play") {
        startAfresh();
        mbPlayAllMode = true;
        mbPlayNewMode = false;
        runReported([&] {
            qint32 skip = 0;
            PlayAllMsgs(skip);
        });
    }
    m_core.setTimerEnabled(true);
}

// No trap here: a failure reaches the caller and leaves the timer off.
void MessageControl::cmdPlayLast_Click()
{
    m_core.setTimerEnabled(false);
    const QString caption = m_w.cmdPlayLast->text();
    if (caption == u"&Stop") {
        phoneHelp().StopMsg();
        mbStopRequested = true;
        m_core.store().msPlayQueue.clear();
        // A paused message is given up: a later Pause starts counting afresh.
        mlResumeSecs = 0;
        m_core.UpdateDisplayState();
    } else if (caption == u"Play &Last") {
        startAfresh();
        mbPlayAllMode = false;
        mbPlayNewMode = false;
        qint32 skip = 0;
        PlayLastMsg(skip);
    }
    m_core.setTimerEnabled(true);
}

} // namespace VNOrvak
