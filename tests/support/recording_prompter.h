#pragma once

#include "shared/prompter.h"

#include <QList>
#include <QStringList>

#include <functional>

/// A prompter that records every box and pointer change instead of showing
/// them, so no test ever waits on a modal box. `onBox`, when set, runs as the
/// box would be "open" (a test can click or tick from inside a box).
class RecordingPrompter final : public modVNQRN::Prompter
{
public:
    struct Box {
        QString text;
        modVNQRN::MsgBoxIcon icon;
        QString title;
    };

    RecordingPrompter();           // installs itself
    ~RecordingPrompter() override; // and uninstalls

    void messageBox(const QString &text, modVNQRN::MsgBoxIcon icon, const QString &title) override;
    void setMousePointer(modVNQRN::MousePointer pointer) override;

    QList<Box> boxes;
    QList<modVNQRN::MousePointer> pointers;
    std::function<void(const Box &)> onBox;

    /// The texts of the boxes shown so far.
    QStringList texts() const;
};
