#pragma once

#include "shared/prompter.h"

namespace modVNQRN
{

/// QMessageBox and the application's override cursor.
class QtPrompter final : public Prompter
{
public:
    void messageBox(const QString &text, MsgBoxIcon icon, const QString &title) override;
    void setMousePointer(MousePointer pointer) override;
};

/// Makes message boxes the default prompter when the application is a
/// widget application (the control does this when it is created).
void useMessageBoxesByDefault();

} // namespace modVNQRN
