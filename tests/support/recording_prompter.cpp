#include "recording_prompter.h"

RecordingPrompter::RecordingPrompter()
{
    modVNQRN::setAppPrompter(this);
}

RecordingPrompter::~RecordingPrompter()
{
    modVNQRN::setAppPrompter(nullptr);
}

void RecordingPrompter::messageBox(const QString &text, modVNQRN::MsgBoxIcon icon,
                                   const QString &title)
{
    boxes.append({text, icon, title});
    if (onBox)
        onBox(boxes.back());
}

void RecordingPrompter::setMousePointer(modVNQRN::MousePointer pointer)
{
    pointers.append(pointer);
}

QStringList RecordingPrompter::texts() const
{
    QStringList out;
    for (const Box &box : boxes)
        out.append(box.text);
    return out;
}
