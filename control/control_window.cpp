#include "control_window.h"

#include "shape_widget.h"

#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

namespace VNOrvak
{

namespace
{

// The control's font: MS Sans Serif 8.25 pt, or the closest sans font here.
QFont controlFont(bool bold)
{
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(8.25);
    font.setBold(bold);
    return font;
}

struct Twips {
    int left, top, width, height;
};

class Placer
{
public:
    explicit Placer(QWidget *host) : m_dpiX(host->logicalDpiX()), m_dpiY(host->logicalDpiY()) {}
    void place(QWidget *w, Twips t) const
    {
        w->setGeometry(twipsToPixels(t.left, m_dpiX), twipsToPixels(t.top, m_dpiY),
                       twipsToPixels(t.width, m_dpiX), twipsToPixels(t.height, m_dpiY));
    }

private:
    int m_dpiX;
    int m_dpiY;
};

QPushButton *makeButton(QWidget *parent, const Placer &placer, const char *name,
                        const QString &caption, const QString &toolTip, Twips where)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setToolTip(toolTip);
    placer.place(b, where);
    return b;
}

QLabel *makeLabel(QWidget *parent, const Placer &placer, const char *name, const QString &caption,
                  quint32 foreColor, Twips where)
{
    auto *l = new QLabel(caption, parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QPalette palette = l->palette();
    palette.setColor(QPalette::WindowText, colorFromRgbNumber(foreColor));
    l->setPalette(palette);
    placer.place(l, where);
    return l;
}

constexpr quint32 kRed = 255;
constexpr quint32 kNavy = 128u << 16;

} // namespace

int twipsToPixels(int twips, int dpi)
{
    return (twips * dpi + 720) / 1440;
}

QColor colorFromRgbNumber(quint32 rgb)
{
    return QColor(int(rgb & 0xFF), int((rgb >> 8) & 0xFF), int((rgb >> 16) & 0xFF));
}

ControlWidgets buildControlWindow(QWidget *host)
{
    const Placer placer(host);
    host->setFont(controlFont(false));
    host->setFixedSize(twipsToPixels(kControlWidthTwips, host->logicalDpiX()),
                       twipsToPixels(kControlHeightTwips, host->logicalDpiY()));

    ControlWidgets w;
    w.fraVoice = new QGroupBox(QStringLiteral("Voice Messages"), host);
    w.fraVoice->setObjectName(QStringLiteral("fraVoice"));
    placer.place(w.fraVoice, {0, 0, 3375, 1335});
    QWidget *frame = w.fraVoice;

    // The shape first, so it lies beneath the New Msg button it surrounds.
    w.shpMsg = new ShapeWidget(frame);
    w.shpMsg->setObjectName(QStringLiteral("shpMsg"));
    w.shpMsg->setBackColor(colorFromRgbNumber(kRed));
    placer.place(w.shpMsg, {90, 315, 1050, 810});

    w.lblCallDate = makeLabel(frame, placer, "lblCallDate", QStringLiteral("Label1"), kNavy,
                              {1155, 360, 1050, 675});
    w.lblCallDate->setWordWrap(true);
    w.lblMessages = makeLabel(frame, placer, "lblMessages", QStringLiteral("Message Line"), kRed,
                              {1440, 120, 1815, 225});
    w.lblMessages->setFont(controlFont(true));
    w.lblNotes = makeLabel(frame, placer, "lblNotes", QString(), kNavy, {1200, 1080, 2055, 195});

    w.cmdNewMsg = makeButton(frame, placer, "cmdNewMsg", QStringLiteral("&New Msg"),
                             QStringLiteral("Play New Messages Only"), {150, 380, 915, 675});
    w.cmdPrevMsg =
        makeButton(frame, placer, "cmdPrevMsg", QStringLiteral("&Previous"),
                   QStringLiteral("Play Previous Entity Message"), {1200, 360, 975, 315});
    w.cmdPlayAll = makeButton(frame, placer, "cmdPlayAll", QStringLiteral("&Play"),
                              QStringLiteral("Play all current messages for this Entity"),
                              {2280, 360, 975, 315});
    w.cmdNextMsg = makeButton(frame, placer, "cmdNextMsg", QStringLiteral("Ne&xt"),
                              QStringLiteral("Play Next Entity Message"), {1200, 720, 975, 315});
    w.cmdPlayLast = makeButton(frame, placer, "cmdPlayLast", QStringLiteral("Play &Last"),
                               QStringLiteral("Play all current messages for this Entity"),
                               {2280, 720, 975, 315});

    // For screen readers only; nothing visible changes. The play buttons'
    // names stay their captions, which carry the playback state (Play, Pause,
    // Resume; Play Last, Stop).
    host->setAccessibleName(QStringLiteral("Voice messages"));
    host->setAccessibleDescription(
        QStringLiteral("Reviews the voice messages of the selected entity"));
    w.fraVoice->setAccessibleName(QStringLiteral("Voice Messages"));
    w.fraVoice->setAccessibleDescription(QStringLiteral("The message buttons and counts"));
    w.shpMsg->setAccessibleName(QStringLiteral("New messages marker"));
    w.shpMsg->setAccessibleDescription(
        QStringLiteral("Shown around New Msg while the folder holds a new message"));
    w.lblCallDate->setAccessibleDescription(
        QStringLiteral("When the message playing was received"));
    w.lblMessages->setAccessibleDescription(
        QStringLiteral("The entity's messages, or which of them plays"));
    w.lblNotes->setAccessibleDescription(
        QStringLiteral("Notes on the connection or the playing device"));
    w.cmdNewMsg->setAccessibleName(QStringLiteral("New Msg"));
    w.cmdNewMsg->setAccessibleDescription(
        QStringLiteral("Plays the first new message of the entity with the lowest id"));
    w.cmdPrevMsg->setAccessibleName(QStringLiteral("Previous"));
    w.cmdPrevMsg->setAccessibleDescription(
        QStringLiteral("Moves to the entity before this one and plays its messages"));
    w.cmdNextMsg->setAccessibleName(QStringLiteral("Next"));
    w.cmdNextMsg->setAccessibleDescription(
        QStringLiteral("Moves to the entity after this one and plays its messages"));
    w.cmdPlayAll->setAccessibleDescription(
        QStringLiteral("Plays all of this entity's messages; pauses and resumes them"));
    w.cmdPlayLast->setAccessibleDescription(
        QStringLiteral("Plays this entity's last message; stops a playback"));

    // Tab order by the design's tab indexes; labels take no focus.
    QWidget::setTabOrder(w.cmdPrevMsg, w.cmdNewMsg);
    QWidget::setTabOrder(w.cmdNewMsg, w.cmdNextMsg);
    QWidget::setTabOrder(w.cmdNextMsg, w.cmdPlayAll);
    QWidget::setTabOrder(w.cmdPlayAll, w.cmdPlayLast);
    return w;
}

} // namespace VNOrvak
