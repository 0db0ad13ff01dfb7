#include "message_control.h"

#include "heard_log.h"
#include "message_box_prompter.h"
#include "numeric_value.h"
#include "state_renderers.h"

#include "shared/environment.h"
#include "shared/error.h"
#include "shared/profile.h"
#include "telephony/line_holder.h"

#include <QLabel>

#include <cmath>
#include <limits>

using namespace modVNQRN;

namespace VNOrvak
{

MessageControl::MessageControl(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("MessageControl"));
    modVNQRN::useMessageBoxesByDefault();
    m_w = buildControlWindow(this);
    connectButtons();
    m_core.setRenderer(this);
    connect(&m_core, &MessageControlCore::MsgUpdated, this, &MessageControl::MsgUpdated);
    connect(&m_core, &MessageControlCore::FinishedPlayingNewMsg, this,
            &MessageControl::FinishedPlayingNewMsg);
    connect(&m_core, &MessageControlCore::IDChanged, this, &MessageControl::IDChanged);
    // Who heard which message: written from the marks, never from the play.
    auto *heardLog = new HeardLog(this);
    connect(&m_core, &MessageControlCore::MarkedHeard, heardLog, &HeardLog::recordOutcome);
}

MessageControl::~MessageControl()
{
    m_core.setRenderer(nullptr);
}

void MessageControl::InitializeForProgram(const QString &ProgramName)
{
    msProgramName = ProgramName;
    InitEnvironment(ProgramName.left(2));
    if (auto *heardLog = findChild<HeardLog *>(QString(), Qt::FindDirectChildrenOnly))
        heardLog->setPlace(gsDataPath, ProgramName);
    LoadSettings();
    m_core.store().SetMessagesPath();
    m_core.RescanMessages();
    Q_EMIT MsgUpdated();
    InitializeForID(QString());
}

void MessageControl::LoadSettings()
{
    const QString soundCard = ReadProfileString(
        QStringLiteral("Zuzidivuz"), QStringLiteral("SoundCard"), QStringLiteral("0"), gsLocalIni);
    m_core.setUseSoundCard(std::round(NumericValue(soundCard)) != 0);
    msTempFile = gsLocalPath + u"TEMP.vox";

    const qint64 interval = qint64(ReadProfileInt(QStringLiteral("Messages"),
                                                  QStringLiteral("MsgTimer"), 20, gsLocalIni)) *
                            1000;
    if (interval > std::numeric_limits<qint32>::max() ||
        interval < std::numeric_limits<qint32>::min())
        throw Error(errOverflow);
    // A negative interval never fires, like 0.
    m_core.setTimerInterval(static_cast<int>(std::max<qint64>(interval, 0)));

    mbRenameOnStop = ReadProfileInt(QStringLiteral("Messages"), QStringLiteral("RenameOnStop"), 1,
                                    gsLocalIni) != 0;
}

void MessageControl::InitializeForID(const QString &msgID, const QString &MsgCode)
{
    m_core.InitializeForID(msgID, MsgCode);
}

void MessageControl::Terminate()
{
    clsPhoneHelp *helper = m_core.phoneHelp();
    if (!helper)
        return;
    if (mPlayDepth > 0) {
        // During a playback: stop it; the play procedure releases the helper
        // once it has left, so no call still running uses a released board.
        mbReleasePending = true;
        mbStopRequested = true;
        m_core.store().msPlayQueue.clear();
        helper->StopMsg();
        return;
    }
    releaseTelephony();
}

void MessageControl::releaseTelephony()
{
    mbReleasePending = false;
    clsPhoneHelp *helper = m_core.phoneHelp();
    if (!helper)
        return;
    helper->WaitForIdleState();
    VNOrvakTelephony::releaseLine(gsLocalIni);
    m_core.releasePhoneHelp();
    // The released helper's route is gone: the next playback connects again.
    m_core.mbConnected = false;
}

QString MessageControl::GetRightItem(QString &sList, const QString &sDelim)
{
    return MessageStore::GetRightItem(sList, sDelim);
}

QDateTime MessageControl::LastMsgDate() const
{
    return m_core.store().mdLastMsgDate;
}
QString MessageControl::Messages() const
{
    return m_core.store().msMsgList;
}
qint32 MessageControl::MsgCnt() const
{
    return m_core.store().mlMsgCnt;
}
qint32 MessageControl::MsgTodayCnt() const
{
    return m_core.store().mlMsgTodayCnt;
}
qint32 MessageControl::NewMsgCnt() const
{
    return m_core.store().mlNewMsgCnt;
}

void MessageControl::SetEnabled(bool b)
{
    mbEnabled = b;
    m_core.setTimerEnabled(b);
}

void MessageControl::ShowState(int state, const QString &text)
{
    const MessageStore &s = m_core.store();
    DisplayFacts facts;
    facts.msEntityID = s.msEntityID;
    facts.mbHasEntityMsgs = s.mbHasEntityMsgs;
    facts.mlEntityMsgCnt = s.mlEntityMsgCnt;
    facts.mlEntityPos = s.mlEntityPos;
    facts.msgListEmpty = s.msMsgList.isEmpty();
    facts.msMsgDir = s.msMsgDir;
    facts.mbUseSoundCard = m_core.useSoundCard();
    renderDisplayState(m_w, state, text, facts);
}

void MessageControl::ClearNotes()
{
    m_w.lblNotes->clear();
}

} // namespace VNOrvak
