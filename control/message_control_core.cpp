#include "message_control_core.h"

#include "display_states.h"
#include "heard_rename.h"
#include "numeric_value.h"
#include "reported_step.h"

#include "shared/clock.h"
#include "shared/error.h"
#include "shared/error_log.h"
#include "shared/prompter.h"

#include <QFileInfo>
#include <QScopeGuard>

#include <cmath>
#include <cstring>

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
    ++m_pollDepth;
    const auto left = qScopeGuard([this] { --m_pollDepth; });
    setTimerEnabled(false);
    const QString sOld = m_store.msMsgList;
    MessageListing listing;
    if (listFolder(listing)) {
        // Each step reports its own failure and the tick goes on with the next.
        m_store.ClearMessages();
        runReported([&] { m_store.AddListedMessages(listing); });
        runReported([&] { settleParkedMessages(listing); });
    }
    if (m_store.msMsgList != sOld) {
        runReported([&] { UpdateDisplayState(); });
        runReported([&] { Q_EMIT MsgUpdated(); });
    }
    setTimerEnabled(true);
}

// A folder that cannot be listed is an outage, not an empty installation:
// the list stays as it was, and the operator hears of it once, not at every
// poll; the log tells when it is back.
bool MessageControlCore::listFolder(MessageListing &listing)
{
    const QString &dir = m_store.msMsgDir;
    QString why;
    try {
        listing = m_folderReader.read(dir);
        if (listing.folderMissing)
            why = QStringLiteral("it does not exist or is not a folder");
        else if (listing.otherFileSystem)
            why = QStringLiteral("it is empty and is not on the file system its messages were "
                                 "seen on (a share that is not mounted)");
        else if (listing.notMounted)
            why = u"it is empty and has lost its marker " + QLatin1StringView(kFolderMarker) +
                  u" (a share that is not mounted)";
    } catch (...) {
        why = modVNQRN::currentError().description();
    }
    if (why.isEmpty()) {
        if (m_folderOutage) {
            m_folderOutage = false;
            runReported(
                [&] { modVNQRN::WriteLog(u"The messages folder " + dir + u" can be read again"); });
        }
        return true;
    }
    if (!m_folderOutage) {
        m_folderOutage = true;
        runReported([&] {
            modVNQRN::WriteLog(u"The messages folder " + dir + u" cannot be read: " + why);
            modVNQRN::MsgBox(u"The messages folder " + dir + u" cannot be read: " + why +
                                 u".\r\nThe messages are shown as they were until it is back.",
                             modVNQRN::MsgBoxIcon::Exclamation);
        });
    }
    return false;
}

// A message parked by a mark that never finished (its workstation stopped
// between the two renames) is put in its place once it has stayed parked for
// a while; a mark in progress takes milliseconds.
void MessageControlCore::settleParkedMessages(const MessageListing &listing)
{
    // A grace measured on the monotonic clock: a wall clock set back must not
    // keep a message parked for an hour, nor one set forward settle a mark
    // still in progress.
    const qint64 now = modVNQRN::appClock().monotonicMs();
    QHash<QString, qint64> seen;
    for (const QString &name : listing.otherNames) {
        if (!isParkedName(name))
            continue;
        const qint64 first = m_parkedSince.value(name, now);
        if (now - first < kParkedGraceSecs * 1000) {
            seen.insert(name, first);
            continue;
        }
        const ParkedSettleResult settled = settleParkedMessage(m_store.msMsgDir, name);
        static const char16_t *const kDone[] = {
            u"took its heard name", u"is back under its new name",
            u"was settled by another workstation", u"stays parked as ", u"could not be moved: "};
        QString what = QString::fromUtf16(kDone[int(settled.outcome)]);
        if (settled.outcome == ParkedSettle::LeftParked)
            what += settled.parked;
        if (settled.outcome == ParkedSettle::Failed)
            what += QString::fromLocal8Bit(std::strerror(settled.error));
        modVNQRN::WriteLog(u"Parked message " + m_store.msMsgDir + name + u' ' + what);
    }
    m_parkedSince = seen;
}

void MessageControlCore::ResetMessageState()
{
    if (!mPhoneHelp) {
        mPhoneHelp = std::make_unique<clsPhoneHelp>();
        // The play engine names the message that failed and keeps it new.
        mPhoneHelp->setPlayFailureShownByCaller(true);
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
    // Asked of the server: a network folder's cache may still show a file
    // that another workstation renamed, whose play would fail.
    const QString heard = MessageStore::HeardName(sName);
    const MessagePlace place = sName.startsWith(u'N')
                                   ? locateMessage(m_store.msMsgDir, sName, heard)
                                   : locateMessage(m_store.msMsgDir, sName, sName);
    if (place == MessagePlace::New)
        return sName;
    if (place == MessagePlace::Heard || place == MessagePlace::BeingMarked) {
        if (sName.startsWith(u'M'))
            return sName;
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
