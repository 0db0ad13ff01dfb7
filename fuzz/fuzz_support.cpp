#include "fuzz_support.h"

#include "shared/environment.h"
#include "shared/profile.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>

namespace
{

class QuietPrompter final : public modVNQRN::Prompter
{
public:
    void messageBox(const QString &, modVNQRN::MsgBoxIcon, const QString &) override {}
    void setMousePointer(modVNQRN::MousePointer) override {}
};

} // namespace

FuzzWorkstation &FuzzWorkstation::instance()
{
    static FuzzWorkstation workstation;
    return workstation;
}

FuzzWorkstation::FuzzWorkstation()
{
    static int argc = 1;
    static char name[] = "vnorvak-fuzz";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    static QuietPrompter prompter;
    modVNQRN::setAppPrompter(&prompter);
    modVNQRN::gsLocalPath = folder();
    modVNQRN::gsLocalIni = folder() + u"QelLocal.ini";
    modVNQRN::WriteProfileString(QStringLiteral("Zuzidivuz"), QStringLiteral("ErrorLog"),
                                 QStringLiteral("0"), modVNQRN::gsLocalIni);
}

void fuzzFailed(const char *what, const char *file, int line)
{
    std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, what);
    std::abort();
}
