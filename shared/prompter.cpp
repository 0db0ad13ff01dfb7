#include "prompter.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>

namespace modVNQRN
{

namespace
{

thread_local Prompter *installed = nullptr;

QString titleOrDefault(const QString &title)
{
    return title.isEmpty() ? QString::fromUtf16(kDefaultTitle) : title;
}

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

Prompter::~Prompter() = default;

void QtPrompter::messageBox(const QString &text, MsgBoxIcon icon, const QString &title)
{
    QMessageBox box(toQtIcon(icon), titleOrDefault(title), text, QMessageBox::Ok,
                    QApplication::activeWindow());
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

void ConsolePrompter::messageBox(const QString &text, MsgBoxIcon, const QString &title)
{
    QString flat = text;
    flat.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    std::fprintf(stderr, "%s: %s\n", qPrintable(titleOrDefault(title)), qPrintable(flat));
}

Prompter &appPrompter()
{
    if (installed)
        return *installed;
    if (qobject_cast<QApplication *>(QCoreApplication::instance())) {
        static QtPrompter qtPrompter;
        return qtPrompter;
    }
    static ConsolePrompter console;
    return console;
}

void setAppPrompter(Prompter *prompter)
{
    installed = prompter;
}

void MsgBox(const QString &text, MsgBoxIcon icon)
{
    appPrompter().messageBox(text, icon, {});
}

} // namespace modVNQRN
