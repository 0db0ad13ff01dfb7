#include "status_line.h"

#include "control/message_control.h"

#include "shared/environment.h"
#include "shared/profile.h"
#include "telephony/line_holder.h"

#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QSysInfo>

#include <utility>

#include <unistd.h>

namespace VNOrvak
{

FolderState folderState(const QString &folder)
{
    if (folder.isEmpty())
        return FolderState::Unknown;
    const QFileInfo info(folder);
    if (!info.exists() || !info.isDir())
        return FolderState::Missing;
    if (!info.isReadable() || !info.isExecutable())
        return FolderState::Unreadable;
    // Listing it proves more than the permission bits (a dead mount, say).
    QDir dir(folder);
    if (dir.entryList(QDir::Files | QDir::NoDotAndDotDot).isEmpty() && !dir.isReadable())
        return FolderState::Unreadable;
    return info.isWritable() ? FolderState::Found : FolderState::ReadOnly;
}

QString folderStateWords(FolderState state)
{
    switch (state) {
    case FolderState::Found:
        return QObject::tr("found");
    case FolderState::ReadOnly:
        return QObject::tr("read-only (messages cannot be marked heard)");
    case FolderState::Missing:
        return QObject::tr("missing");
    case FolderState::Unreadable:
        return QObject::tr("unreadable");
    case FolderState::Unknown:
        break;
    }
    return QObject::tr("not known (no installation found)");
}

StatusFacts readStatus(MessageControl &control, bool started, const QString &phoneAddress)
{
    StatusFacts f;
    const QString ini = modVNQRN::gsLocalIni;
    const bool haveIni = started && !ini.isEmpty() && QFileInfo::exists(ini);
    f.settings = haveIni ? QObject::tr("Settings: %1").arg(ini)
                         : QObject::tr("Settings: no settings file found");
    const QString folder = started ? control.core().store().msMsgDir : QString();
    f.folderState = folderState(folder);
    // A poll that could not list the folder counts even when it looks fine now.
    if (f.folderState == FolderState::Found && control.core().folderOutage())
        f.folderState = FolderState::Unreadable;
    f.folder = QObject::tr("Messages folder: %1").arg(folderStateWords(f.folderState));
    if (!folder.isEmpty())
        f.folder += u' ' + folder;
    if (!phoneAddress.isEmpty())
        f.route = QObject::tr("Route: SIP telephone %1").arg(phoneAddress);
    else if (control.core().useSoundCard())
        f.route = QObject::tr("Route: sound card");
    else if (haveIni)
        f.route =
            QObject::tr("Route: telephone %1")
                .arg(modVNQRN::ReadProfileString(QStringLiteral("Messages"),
                                                 QStringLiteral("ConnectString"), QString(), ini));
    else
        f.route = QObject::tr("Route: not known");
    if (!haveIni) {
        f.line = QObject::tr("Message line: not known");
        return f;
    }
    const VNOrvakTelephony::LineHolder holder = VNOrvakTelephony::readLineHolder(ini);
    if (holder.program.isEmpty()) {
        f.line = QObject::tr("Message line: free");
    } else {
        const bool here = holder.pid == qint64(::getpid()) &&
                          (holder.host.isEmpty() || holder.host == QSysInfo::machineHostName());
        f.line = here ? QObject::tr("Message line: held by this console (%1)").arg(holder.program)
                      : QObject::tr("Message line: held by %1%2")
                            .arg(holder.program,
                                 holder.host.isEmpty() ? QString() : u" on " + holder.host);
    }
    return f;
}

StatusLine::StatusLine(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("pnlStatus"));
    setAccessibleName(tr("Status"));
    setAccessibleDescription(tr("Settings file, messages folder, route and message line"));
    auto *layout = new QGridLayout(this);
    layout->setContentsMargins(2, 0, 2, 0);
    const std::array<std::pair<const char *, QString>, PartCount> parts{{
        {"lblSettings", tr("The settings file in use")},
        {"lblFolder", tr("Whether the messages folder is found, missing or unreadable")},
        {"lblRoute", tr("Where messages play: the sound card or a telephone")},
        {"lblLine", tr("Who holds the message line")},
    }};
    for (int place = 0; place < PartCount; ++place) {
        auto *label = new QLabel;
        label->setObjectName(QString::fromLatin1(parts[place].first));
        label->setAccessibleDescription(parts[place].second);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        // Long paths must not widen the window: the full text is the tool tip.
        label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        layout->addWidget(label, place / 2, place % 2);
        m_parts[place] = label;
    }
}

void StatusLine::showFacts(const StatusFacts &f)
{
    const std::array<QString, PartCount> texts{f.settings, f.folder, f.route, f.line};
    for (int part = 0; part < PartCount; ++part) {
        m_parts[part]->setText(texts[part]);
        m_parts[part]->setToolTip(texts[part]);
    }
    // Told in words; the colour only underlines it (dark red: 8:1 on grey-white).
    QPalette p = m_parts[Folder]->palette();
    p.setColor(QPalette::WindowText,
               f.folderState == FolderState::Found ? QColor(Qt::black) : QColor(0xa4, 0x00, 0x00));
    m_parts[Folder]->setPalette(p);
}

QString StatusLine::text() const
{
    QStringList texts;
    for (const QLabel *label : m_parts)
        texts << label->text();
    return texts.join(QStringLiteral("  |  "));
}

} // namespace VNOrvak
