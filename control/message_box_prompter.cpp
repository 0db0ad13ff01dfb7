#include "message_box_prompter.h"

#include <QApplication>
#include <QMessageBox>

namespace modVNQRN
{

namespace
{

QMessageBox::Icon toQtIcon(MsgBoxIcon icon)
{
    switch (icon) {
    case MsgBoxIcon::Critical:
        return QMessageBox::Critical;
    case MsgBoxIcon::Question:
        return QMessageBox::Question;
    case MsgBoxIcon::Exclamation:
        return QMessageBox::Warning;
    case MsgBoxIcon::Information:
        return QMessageBox::Information;
    case MsgBoxIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

void QtPrompter::messageBox(const QString &text, MsgBoxIcon icon, const QString &title)
{
    QMessageBox box(toQtIcon(icon), title.isEmpty() ? QString::fromUtf16(kDefaultTitle) : title,
                    text, QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

void QtPrompter::setMousePointer(MousePointer pointer)
{
    if (pointer == MousePointer::Hourglass) {
        if (!QApplication::overrideCursor())
            QApplication::setOverrideCursor(Qt::WaitCursor);
        return;
    }
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
}

void useMessageBoxesByDefault()
{
    static QtPrompter boxes;
    if (qobject_cast<QApplication *>(QCoreApplication::instance()))
        setDefaultPrompter(&boxes);
}

} // namespace modVNQRN
