#pragma once

#include <QString>

namespace VNOrvak
{

class EntityPicker;
class HostWindow;
class TourRunner;

/// The entity the tour picks: the first with a new message and more than
/// one message, else the first of the list; "" for an empty list.
QString tourEntity(const EntityPicker &picker);

/// Adds the demo tour to `runner`: pick an entity, Play, Pause, Resume,
/// Stop, New Msg (until the new message has been heard), Next, Stop, only
/// the entities with new messages, the messages folder moved aside (missing)
/// and back. Every click goes to the control's own buttons, found by their
/// objectName, and every step waits for the state the buttons' captions (or
/// the status line) show. The cleanup moves the folder back and stops a
/// playback a failed step left running.
void addDemoTour(TourRunner &runner, HostWindow &window);

} // namespace VNOrvak
