#pragma once

#include <QString>
#include <QWidget>

#include <array>

class QLabel;

namespace VNOrvak
{

class MessageControl;

/// The state of the messages folder as the console tells it.
enum class FolderState { Unknown, Found, ReadOnly, Missing, Unreadable };

/// Looks at `folder`: missing (or not a folder), unreadable (cannot be
/// listed), read-only (messages cannot be marked heard), or found. ""
/// (no installation found) is Unknown.
FolderState folderState(const QString &folder);
QString folderStateWords(FolderState state);

/// What the status line shows, one text per part.
struct StatusFacts {
    QString settings; ///< "Settings: <file>" or that none was found
    QString folder;   ///< "Messages folder: found <path>" and the like
    QString route;    ///< "Route: sound card" or "Route: telephone <number>"
    QString line;     ///< "Message line: free" or who holds it
    FolderState folderState = FolderState::Unknown;
};

/// Reads the facts of a started control. `phoneAddress` is the --phone
/// address ("" when the settings choose the route).
StatusFacts readStatus(MessageControl &control, bool started, const QString &phoneAddress);

/// The status line at the bottom of the console.
class StatusLine : public QWidget
{
    Q_OBJECT

public:
    explicit StatusLine(QWidget *parent = nullptr);
    void showFacts(const StatusFacts &facts);
    /// The four texts joined by "  |  ".
    QString text() const;

private:
    enum Part { Settings, Folder, Route, Line, PartCount };
    std::array<QLabel *, PartCount> m_parts{};
};

} // namespace VNOrvak
