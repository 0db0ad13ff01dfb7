#include "phone_route.h"

namespace VNOrvak
{

bool usePhoneAt(const QString &address, QString &why)
{
    Q_UNUSED(address);
    why = QStringLiteral("this build has no SIP telephone back end");
    return false;
}

} // namespace VNOrvak
