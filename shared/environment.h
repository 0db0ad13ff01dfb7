#pragma once

#include <QString>

namespace modVNQRN
{

/// The environment record: where this workstation's installation lives.
/// Empty until InitEnvironment() runs; folder paths end with "/". There is one
/// record per user-interface thread, shared by every control on that thread.
extern thread_local QString gsLocalIni;  ///< the local settings file "QelLocal.ini"
extern thread_local QString gsAppPath;   ///< the installation root folder
extern thread_local QString gsLocalPath; ///< this workstation's local folder
extern thread_local QString gsDataPath;  ///< the application's data folder

/// Finds the installation for the program whose name starts with `sPrefix`
/// (its first two characters) and sets the four globals. The local settings
/// file is looked for in GetLocalAppFolder(), then in machineFolder(), then
/// as the bare name "QelLocal.ini"; the first that names an installation root
/// ("VnPath") wins. Throws Error when no local application-data folder can be
/// determined; the globals then keep what the steps before set.
void InitEnvironment(const QString &sPrefix);

/// The user's local application-data folder followed by "Qrn/Vantel/", with
/// its first character in lower case. Neither created nor tested.
QString GetLocalAppFolder();

} // namespace modVNQRN
