#pragma once

#include <QString>

namespace VNOrvak
{

/// What renders the display states on the control's window. The widget sets
/// one on MessageControlCore; without one the core only remembers the state.
class DisplayRenderer
{
public:
    virtual ~DisplayRenderer();
    /// Brings the window into display state `state` (dsNewMessages ...
    /// dsNoDevice); `text` is the name of the message for dsPlaying.
    virtual void ShowState(int state, const QString &text) = 0;
    /// Empties the notes line (a new entity was selected).
    virtual void ClearNotes() {}
    /// Shows `text` on the notes line ("Unable to make Connection").
    virtual void ShowNotes(const QString &) {}
};

} // namespace VNOrvak
