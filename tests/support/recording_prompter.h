#pragma once

#include "shared/prompter.h"

#include <QList>
#include <QStringList>

/// A prompter that records every box and pointer change instead of showing
/// them, so no test ever waits on a modal box. Installs itself while alive.
class RecordingPrompter final : public modVNQRN::Prompter
{
public:
    struct Box {
        QString text;
        modVNQRN::MsgBoxIcon icon;
        QString title;
    };

    RecordingPrompter() { modVNQRN::setAppPrompter(this); }
    ~RecordingPrompter() override { modVNQRN::setAppPrompter(nullptr); }

    void messageBox(const QString &text, modVNQRN::MsgBoxIcon icon, const QString &title) override
    {
        boxes.append({text, icon, title});
    }
    void setMousePointer(modVNQRN::MousePointer pointer) override { pointers.append(pointer); }

    QList<Box> boxes;
    QList<modVNQRN::MousePointer> pointers;

    /// The texts of the boxes shown so far.
    QStringList texts() const
    {
        QStringList out;
        for (const Box &box : boxes)
            out.append(box.text);
        return out;
    }
};
