#pragma once

#include <QString>

namespace modVNQRN
{

/// The icon of a message box (the values of the platform's box styles).
enum class MsgBoxIcon : int {
    None = 0,
    Critical = 16,
    Question = 32,
    Exclamation = 48,
    Information = 64,
};

/// The screen's mouse pointer as the product sets it.
enum class MousePointer : int {
    Default = 0,
    Hourglass = 11,
};

/// The title of every message box that has none of its own.
inline constexpr char16_t kDefaultTitle[] = u"VN-Orvak";

/// What the product shows the operator outside its own window: modal message
/// boxes with an OK button, and the mouse pointer. The control brings a Qt
/// implementation (control/message_box_prompter.h); tests and tools install
/// their own with setAppPrompter().
class Prompter
{
public:
    virtual ~Prompter();
    /// Shows a modal box with an OK button and returns when it is closed. An
    /// empty title stands for kDefaultTitle.
    virtual void messageBox(const QString &text, MsgBoxIcon icon, const QString &title) = 0;
    virtual void setMousePointer(MousePointer pointer) = 0;
};

/// For programs without windows: boxes are printed on standard error.
class ConsolePrompter final : public Prompter
{
public:
    void messageBox(const QString &text, MsgBoxIcon icon, const QString &title) override;
    void setMousePointer(MousePointer) override {}
};

/// The prompter in use on this thread: the one installed, else the default
/// one (the control's message boxes in a widget application), else a
/// ConsolePrompter.
Prompter &appPrompter();
/// Installs `prompter` (not owned; nullptr goes back to the default).
void setAppPrompter(Prompter *prompter);
/// Sets the prompter used while none is installed (not owned; nullptr for
/// the ConsolePrompter).
void setDefaultPrompter(Prompter *prompter);

/// Shows a box with the default title.
void MsgBox(const QString &text, MsgBoxIcon icon = MsgBoxIcon::None);

} // namespace modVNQRN
