#include "prompter.h"

#include <cstdio>

namespace modVNQRN
{

namespace
{

thread_local Prompter *installed = nullptr;
Prompter *defaultPrompter = nullptr;

QString titleOrDefault(const QString &title)
{
    return title.isEmpty() ? QString::fromUtf16(kDefaultTitle) : title;
}

} // namespace

Prompter::~Prompter() = default;

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
    if (defaultPrompter)
        return *defaultPrompter;
    static ConsolePrompter console;
    return console;
}

void setAppPrompter(Prompter *prompter)
{
    installed = prompter;
}

void setDefaultPrompter(Prompter *prompter)
{
    defaultPrompter = prompter;
}

void MsgBox(const QString &text, MsgBoxIcon icon)
{
    appPrompter().messageBox(text, icon, {});
}

} // namespace modVNQRN
