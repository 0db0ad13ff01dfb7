#pragma once

#include <QList>

namespace VNOrvak
{

/// One message of the demo installation.
struct DemoMessage {
    const char *name;  ///< the base name: status letter, "A", nine-digit id, ordering letter
    int minutesOld;    ///< how long before the demo was made the call came in
    const char *voice; ///< the espeak-ng voice of the caller
    const char *text;  ///< what the caller says
};

/// The dozen messages of the demo: five entities (1001, 1002, 2001, 2002,
/// 3003), five of the messages new, three of them from the last two hours.
const QList<DemoMessage> &demoMessages();

} // namespace VNOrvak
