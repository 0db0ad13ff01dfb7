#include "message_control_core.h"

#include "display_states.h"
#include "numeric_value.h"
#include "reported_step.h"

#include "shared/error.h"
#include "shared/error_log.h"
#include "shared/prompter.h"

#include <QFileInfo>

#include <cmath>

namespace VNOrvak
{

DisplayRenderer::~DisplayRenderer() = default;

MessageControlCore::MessageControlCore(QObject *parent) : QObject(parent)
{
    m_timer.setInterval(kDesignInterval);
    connect(&m_timer, &QTimer::timeout, this, &MessageControlCore::tmrCalls_Timer);
    applyTimer();
}

MessageControlCore::~MessageControlCore() = default;

void MessageControlCore::setTimerEnabled(bool enabled)
{
    m_timerEnabled = enabled;
    applyTimer();
}

void MessageControlCore::setTimerInterval(int ms)
{
    m_timer.setInterval(ms);
    applyTimer();
}

void MessageControlCore::applyTimer()
{
    // A QTimer at 0 ms would fire on every pass of the event loop.
    if (m_timerEnabled && m_timer.interval() > 0) {
        if (!m_timer.isActive())
            m_timer.start();
    } else {
        m_timer.stop();
    }
}

void MessageControlCore::tmrCalls_Timer()
{
    setTimerEnabled(false);
    const QString sOld = m_store.msMsgList;
    m_store.ClearMessages();
    // Each step reports its own failure and the tick goes on with the next.
    MessageListing listing;
    runReported([&] { listing = m_folderReader.read(m_store.msMsgDir); });
    runReported([&] { m_store.AddListedMessages(listing); });
    if (m_store.msMsgList != sOld) {
        runReported([&] { UpdateDisplayState(); });
        runReported([&] { Q_EMIT MsgUpdated(); });
    }
    setTimerEnabled(true);
}

void MessageControlCore::ResetMessageState()
{
    if (!mPhoneHelp) {
        mPhoneHelp = std::make_unique<clsPhoneHelp>();
        // No caller waits for the event's handler: its failure is reported.
        connect(mPhoneHelp.get(), &clsPhoneHelp::CallerHangup, this,
                [this] { runReported([this] { mPhoneHelp_CallerHangup(); }); });
    }
    m_store.ClearMessages();
    m_store.mlEntityMsgCnt = 0;
}

void MessageControlCore::RescanMessages()
{
    ResetMessageState();
    tmrCalls_Timer();
}

void MessageControlCore::UpdateDisplayState()
{
    if (mPhoneHelp) {
        const bool present = mbUseSoundCard ? mPhoneHelp->SoundCardIsInstalled()
                                            : mPhoneHelp->VoiceBoardIsInstalled();
        if (!present) {
            ShowState(dsNoDevice, QString());
            return;
        }
    }
    if (m_store.mlMsgCnt == 0)
        ShowState(dsNoMessages, QString());
    else if (m_store.mlNewMsgCnt >= 1)
        ShowState(dsNewMessages, QString());
    else
        ShowState(dsNoNewMessages, QString());
}

QString MessageControlCore::ResolveMessageFile(QString sName)
{
    const auto exists = [this](const QString &name) {
        return QFileInfo(m_store.msMsgDir + name + u".vox").isFile();
    };
    if (exists(sName))
        return sName;
    const QString heard = MessageStore::HeardName(sName);
    if (sName.startsWith(u'N') && exists(heard)) {
        m_store.MarkHeardInList(sName);
        Q_EMIT MarkedHeard(sName, HeardOutcome::HeardBeforePlay);
        Q_EMIT FinishedPlayingNewMsg();
        return heard;
    }
    modVNQRN::MsgBox(QStringLiteral("A message has been deleted.\r\n"
                                    "The messanger will refresh itself\r\n"
                                    "before playing another message."),
                     modVNQRN::MsgBoxIcon::Information);
    RescanMessages();
    InitializeForID(m_store.msEntityID);
    Q_EMIT MsgUpdated();
    return QString();
}

void MessageControlCore::InitializeForID(const QString &msgID, const QString &MsgCode)
{
    m_store.msEntityID = FormatEntityID(msgID);
    if (mPhoneHelp)
        mPhoneHelp->WaitForIdleState();
    bool HasNewMessages = false;
    if (!m_store.msEntityID.isEmpty()) {
        m_store.SelectEntityMessages();
        if (m_renderer)
            m_renderer->ClearNotes();
        HasNewMessages = m_store.mbHasEntityNewMsgs;
    }
    Q_EMIT IDChanged(msgID, HasNewMessages, MsgCode);
    UpdateDisplayState();
}

void MessageControlCore::mPhoneHelp_CallerHangup()
{
    mbConnected = false;
    UpdateDisplayState();
    m_store.mlEntityPos = 0;
}

void MessageControlCore::ShowState(int state, const QString &text)
{
    m_lastState = state;
    if (m_renderer)
        m_renderer->ShowState(state, text);
}

QString MessageControlCore::FormatEntityID(const QString &msgID)
{
    const QString text = msgID.trimmed();
    if (text.isEmpty())
        return msgID;
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return msgID;
    // Halves round away from zero, as number formats do.
    const double rounded = std::round(std::fabs(value));
    const QString digits = QString::number(rounded, 'f', 0).rightJustified(9, u'0');
    return value < 0 && rounded != 0 ? u'-' + digits : digits;
}

} // namespace VNOrvak
