#pragma once

#include <QColor>

class QGroupBox;
class QLabel;
class QPushButton;
class QWidget;

namespace VNOrvak
{

class ShapeWidget;

/// The children of the control's window, each with an objectName equal to
/// its name, so a host or a test can find them with findChild().
struct ControlWidgets {
    QGroupBox *fraVoice = nullptr;
    QPushButton *cmdNewMsg = nullptr;
    QPushButton *cmdPrevMsg = nullptr;
    QPushButton *cmdPlayAll = nullptr;
    QPushButton *cmdNextMsg = nullptr;
    QPushButton *cmdPlayLast = nullptr;
    QLabel *lblMessages = nullptr;
    QLabel *lblCallDate = nullptr;
    QLabel *lblNotes = nullptr;
    ShapeWidget *shpMsg = nullptr;
};

/// The control's size at design time, in twips (1/1440 inch).
inline constexpr int kControlWidthTwips = 3435;
inline constexpr int kControlHeightTwips = 1380;

/// Builds the window's children on `host` at their design-time places,
/// converted from twips to pixels for the host's screen, with their captions,
/// tool tips, colours, fonts and tab order.
ControlWidgets buildControlWindow(QWidget *host);

/// Twips to pixels at `dpi` dots per inch.
int twipsToPixels(int twips, int dpi);

/// A colour given as the platform's 24-bit number (red in the low byte).
QColor colorFromRgbNumber(quint32 rgb);

} // namespace VNOrvak
