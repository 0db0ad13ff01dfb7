#pragma once

#include "control_window.h"

#include <QDateTime>
#include <QString>

namespace VNOrvak
{

/// What the display states read from the control: the current entity, the
/// message list and the playback route. Renderers never write these.
struct DisplayFacts {
    QString msEntityID;
    bool mbHasEntityMsgs = false;
    qint32 mlEntityMsgCnt = 0;
    qint32 mlEntityPos = 0;
    bool msgListEmpty = true; ///< `msMsgList` is ""
    QString msMsgDir;
    bool mbUseSoundCard = false;
};

/// Brings the window's children into display state `state` (1 to 7; any
/// other number changes nothing). `sText` is the name of the message being
/// played, used by the playing state only. A failure (the message file gone
/// when its call date is read) is reported to the operator and leaves the
/// rows not yet written as they were.
void renderDisplayState(ControlWidgets &w, int state, const QString &sText, const DisplayFacts &f);

/// "Call received on  Mar 5 at 2:07 pm" for a file written on 5 March at 14:07.
QString callReceivedText(const QDateTime &t);
/// "2 of 5 messages", "1 of 1 message".
QString positionText(qint32 pos, qint32 count);

} // namespace VNOrvak
