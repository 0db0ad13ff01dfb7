#include "message_control.h"

#include "control_window.h"
#include "display_renderer.h"
#include "message_box_prompter.h"
#include "reported_step.h"
#include "state_renderers.h"

#include <QLabel>
#include <QPushButton>

namespace VNOrvak
{

// The window's side: its children, and the rendering of the display states
// the playback chooses.
struct MessageControl::Private final : DisplayRenderer {
    explicit Private(MessageControl &control) : w(buildControlWindow(&control)) {}

    void ShowState(int state, const QString &text) override
    {
        const MessageStore &s = playback.core().store();
        DisplayFacts facts;
        facts.msEntityID = s.msEntityID;
        facts.mbHasEntityMsgs = s.mbHasEntityMsgs;
        facts.mlEntityMsgCnt = s.mlEntityMsgCnt;
        facts.mlEntityPos = s.mlEntityPos;
        facts.msgListEmpty = s.msMsgList.isEmpty();
        facts.msMsgDir = s.msMsgDir;
        facts.mbUseSoundCard = playback.core().useSoundCard();
        renderDisplayState(w, state, text, facts);
    }
    void ClearNotes() override { w.lblNotes->clear(); }
    void ShowNotes(const QString &text) override { w.lblNotes->setText(text); }

    ControlWidgets w;
    MessagePlayback playback;
    bool mbEnabled = false;
};

MessageControl::MessageControl(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("MessageControl"));
    modVNQRN::useMessageBoxesByDefault();
    d = std::make_unique<Private>(*this);
    MessagePlayback *playback = &d->playback;
    playback->setRenderer(d.get());
    // A click has no caller to hand a failure to: it is reported.
    const auto forward = [this, playback](QPushButton *button, void (MessagePlayback::*press)()) {
        connect(button, &QPushButton::clicked, this,
                [playback, press] { runReported([&] { (playback->*press)(); }); });
    };
    forward(d->w.cmdNewMsg, &MessagePlayback::newMessage);
    forward(d->w.cmdPrevMsg, &MessagePlayback::previousEntity);
    forward(d->w.cmdNextMsg, &MessagePlayback::nextEntity);
    forward(d->w.cmdPlayAll, &MessagePlayback::playAll);
    forward(d->w.cmdPlayLast, &MessagePlayback::playLast);
    connect(playback, &MessagePlayback::MsgUpdated, this, &MessageControl::MsgUpdated);
    connect(playback, &MessagePlayback::FinishedPlayingNewMsg, this,
            &MessageControl::FinishedPlayingNewMsg);
    connect(playback, &MessagePlayback::IDChanged, this, &MessageControl::IDChanged);
}

MessageControl::~MessageControl()
{
    // The playback may outlive the window by the calls still on the stack.
    d->playback.setRenderer(nullptr);
    d->playback.disconnect(this);
}

void MessageControl::InitializeForProgram(const QString &ProgramName)
{
    d->playback.InitializeForProgram(ProgramName);
    Q_EMIT MsgUpdated();
    InitializeForID(QString());
}

void MessageControl::InitializeForID(const QString &msgID, const QString &MsgCode)
{
    d->playback.InitializeForID(msgID, MsgCode);
}

void MessageControl::Terminate()
{
    d->playback.Terminate();
}

void MessageControl::ClickNewMsgButton()
{
    d->playback.newMessage();
}
void MessageControl::ClickPrevMsgButton()
{
    d->playback.previousEntity();
}
void MessageControl::ClickNextMsgButton()
{
    d->playback.previousEntity();
}
void MessageControl::ClickPlayAllMsgButton()
{
    d->playback.playAll();
}
void MessageControl::ClickPlayLastMsgButton()
{
    d->playback.playLast();
}

QString MessageControl::GetRightItem(QString &sList, const QString &sDelim)
{
    return MessageStore::GetRightItem(sList, sDelim);
}

QDateTime MessageControl::LastMsgDate() const
{
    return d->playback.core().store().mdLastMsgDate;
}
QString MessageControl::Messages() const
{
    return d->playback.core().store().msMsgList;
}
qint32 MessageControl::MsgCnt() const
{
    return d->playback.core().store().mlMsgCnt;
}
qint32 MessageControl::MsgTodayCnt() const
{
    return d->playback.core().store().mlMsgTodayCnt;
}
qint32 MessageControl::NewMsgCnt() const
{
    return d->playback.core().store().mlNewMsgCnt;
}

bool MessageControl::Enabled() const
{
    return d->mbEnabled;
}

void MessageControl::SetEnabled(bool b)
{
    d->mbEnabled = b;
    d->playback.core().setTimerEnabled(b);
}

MessageControlCore &MessageControl::core()
{
    return d->playback.core();
}

MessagePlayback &MessageControl::playback()
{
    return d->playback;
}

} // namespace VNOrvak
