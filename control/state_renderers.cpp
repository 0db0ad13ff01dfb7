#include "state_renderers.h"

#include "display_states.h"
#include "fitted_text.h"
#include "shape_widget.h"

#include "shared/error.h"
#include "shared/error_log.h"

#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QPushButton>

namespace VNOrvak
{

using namespace modVNQRN;

namespace
{

constexpr quint32 kRed = 255;
constexpr quint32 kYellow = 65535;

void setForeColor(QLabel *label, quint32 rgb)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colorFromRgbNumber(rgb));
    label->setPalette(palette);
}

QString messagesWord(qint32 count)
{
    return count == 1 ? QStringLiteral(" message") : QStringLiteral(" messages");
}

// The entity's part of the idle states: play buttons and the two labels.
void applyEntityRule(ControlWidgets &w, const DisplayFacts &f, quint32 countColor)
{
    if (f.msEntityID.isEmpty()) {
        w.cmdPlayAll->setEnabled(false);
        w.cmdPlayLast->setEnabled(false);
        w.lblNotes->setVisible(false);
        w.lblMessages->setVisible(false);
    } else if (!f.mbHasEntityMsgs) {
        w.cmdPlayAll->setEnabled(false);
        w.cmdPlayLast->setEnabled(false);
        w.lblMessages->setVisible(false);
        w.lblNotes->setVisible(true);
    } else {
        w.cmdPlayAll->setEnabled(true);
        w.cmdPlayLast->setEnabled(f.mlEntityMsgCnt != 1);
        w.lblMessages->setVisible(true);
        setForeColor(w.lblMessages, countColor);
        w.lblMessages->setText(QString::number(f.mlEntityMsgCnt) + messagesWord(f.mlEntityMsgCnt));
        w.lblNotes->setVisible(true);
    }
}

void setNavigation(ControlWidgets &w, bool visible, bool enabled)
{
    w.cmdPrevMsg->setVisible(visible);
    w.cmdPrevMsg->setEnabled(enabled);
    w.cmdNextMsg->setVisible(visible);
    w.cmdNextMsg->setEnabled(enabled);
}

void ShowNewMessages(ControlWidgets &w, const DisplayFacts &f)
{
    w.cmdNewMsg->setEnabled(true);
    w.shpMsg->setVisible(true);
    w.shpMsg->setBackColor(colorFromRgbNumber(kRed));
    setNavigation(w, true, !f.msgListEmpty);
    w.cmdPlayAll->setText(QStringLiteral("&Play"));
    w.cmdPlayLast->setText(QStringLiteral("Play &Last"));
    w.lblCallDate->setVisible(false);
    applyEntityRule(w, f, kRed);
}

void ShowNoNewMessages(ControlWidgets &w, const DisplayFacts &f)
{
    w.cmdNewMsg->setEnabled(false);
    w.shpMsg->setVisible(false);
    setNavigation(w, true, true);
    w.cmdPlayAll->setText(QStringLiteral("&Play"));
    w.cmdPlayLast->setText(QStringLiteral("Play &Last"));
    w.lblCallDate->setVisible(false);
    applyEntityRule(w, f, kYellow);
}

void ShowNoMessages(ControlWidgets &w)
{
    w.cmdNewMsg->setEnabled(false);
    w.shpMsg->setVisible(false);
    setNavigation(w, true, false);
    w.cmdPlayAll->setEnabled(false);
    w.cmdPlayLast->setEnabled(false);
    w.lblCallDate->setVisible(false);
    w.lblMessages->setVisible(false);
    w.lblNotes->setVisible(false);
}

void ShowPlaying(ControlWidgets &w, const DisplayFacts &f, const QString &sName)
{
    // The call date first: a file removed meanwhile fails here, before any write.
    const QFileInfo file(f.msMsgDir + sName + u".vox");
    const QDateTime called = file.exists() ? file.lastModified() : QDateTime();
    if (!called.isValid())
        throw Error(errFileNotFound);

    w.cmdNewMsg->setEnabled(false);
    setNavigation(w, false, false);
    w.cmdPlayAll->setText(QStringLiteral("Pau&se"));
    w.cmdPlayAll->setEnabled(true);
    w.cmdPlayLast->setText(QStringLiteral("&Stop"));
    w.cmdPlayLast->setEnabled(true);
    w.lblCallDate->setVisible(true);
    setFittedText(w.lblCallDate, callReceivedText(called));
    w.lblMessages->setText(positionText(f.mlEntityPos, f.mlEntityMsgCnt));
    w.lblNotes->setVisible(false);
}

void ShowPaused(ControlWidgets &w)
{
    w.cmdNewMsg->setEnabled(false);
    setNavigation(w, false, false);
    w.cmdPlayAll->setText(QStringLiteral("Res&ume"));
}

void ShowConnecting(ControlWidgets &w)
{
    w.cmdNewMsg->setEnabled(false);
    setNavigation(w, false, false);
    w.cmdPlayAll->setEnabled(false);
    w.cmdPlayAll->setVisible(true);
    w.cmdPlayLast->setEnabled(false);
    w.cmdPlayLast->setVisible(true);
    w.lblCallDate->setVisible(true);
    setFittedText(w.lblCallDate, QStringLiteral("Making a Connection"));
    w.lblNotes->setVisible(false);
}

void ShowNoDevice(ControlWidgets &w, const DisplayFacts &f)
{
    w.cmdNewMsg->setEnabled(false);
    w.cmdPrevMsg->setEnabled(false);
    w.cmdNextMsg->setEnabled(false);
    w.cmdPlayAll->setEnabled(false);
    w.cmdPlayLast->setEnabled(false);
    w.lblMessages->setVisible(false);
    w.lblNotes->setVisible(true);
    w.lblNotes->setText(f.mbUseSoundCard ? QStringLiteral("No Soundcard Installed")
                                         : QStringLiteral("No Voice Board Installed"));
}

} // namespace

QString callReceivedText(const QDateTime &t)
{
    const QTime time = t.time();
    const int hour12 = time.hour() % 12 == 0 ? 12 : time.hour() % 12;
    return u"Call received on  " + QLocale().monthName(t.date().month(), QLocale::ShortFormat) +
           u' ' + QString::number(t.date().day()) + u" at " + QString::number(hour12) + u':' +
           QStringLiteral("%1").arg(time.minute(), 2, 10, QLatin1Char('0')) +
           (time.hour() < 12 ? u" am" : u" pm");
}

QString positionText(qint32 pos, qint32 count)
{
    return QString::number(pos) + u" of " + QString::number(count) + messagesWord(count);
}

void renderDisplayState(ControlWidgets &w, int state, const QString &sText, const DisplayFacts &f)
{
    try {
        switch (state) {
        case dsNewMessages:
            ShowNewMessages(w, f);
            break;
        case dsNoNewMessages:
            ShowNoNewMessages(w, f);
            break;
        case dsNoMessages:
            ShowNoMessages(w);
            break;
        case dsPlaying:
            ShowPlaying(w, f, sText);
            break;
        case dsPaused:
            ShowPaused(w);
            break;
        case dsConnecting:
            ShowConnecting(w);
            break;
        case dsNoDevice:
            ShowNoDevice(w, f);
            break;
        default:
            break;
        }
    } catch (...) {
        ReportError(currentError(), QString());
    }
}

} // namespace VNOrvak
