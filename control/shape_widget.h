#pragma once

#include <QColor>
#include <QWidget>

namespace VNOrvak
{

/// A rectangle drawn on the control's window behind other children, filled
/// with its back colour: the red frame that draws the eye to New Msg.
class ShapeWidget final : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QColor backColor READ backColor WRITE setBackColor)

public:
    explicit ShapeWidget(QWidget *parent = nullptr);

    QColor backColor() const { return m_backColor; }
    void setBackColor(const QColor &color);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_backColor{Qt::red};
};

} // namespace VNOrvak
