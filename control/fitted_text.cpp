#include "fitted_text.h"

#include <QFontMetrics>
#include <QLabel>

namespace VNOrvak
{

namespace
{
constexpr double kSmallestPointSize = 6.0;
constexpr double kStep = 0.25;
} // namespace

void setFittedText(QLabel *label, const QString &text)
{
    QFont font = label->parentWidget() ? label->parentWidget()->font() : label->font();
    const QRect area = label->contentsRect();
    const auto fits = [&](const QFont &f) {
        const QRect needed = QFontMetrics(f).boundingRect(area, Qt::TextWordWrap, text);
        return needed.width() <= area.width() && needed.height() <= area.height();
    };
    // A font sized in pixels is left as it is.
    while (font.pointSizeF() > 0 && font.pointSizeF() - kStep >= kSmallestPointSize && !fits(font))
        font.setPointSizeF(font.pointSizeF() - kStep);
    label->setFont(font);
    label->setText(text);
}

} // namespace VNOrvak
