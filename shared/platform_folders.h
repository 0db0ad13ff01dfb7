#pragma once

#include <QString>

namespace modVNQRN
{

/// Where this platform keeps what the installation expects of a Windows
/// workstation. Each folder can be moved with an environment variable, so a
/// demo or a test never touches the user's or the machine's real settings
/// (docs/platform.md gives the table). Every folder returned ends with "/".

/// The user's local application-data folder: $VNORVAK_LOCAL_APPDATA, else
/// $XDG_DATA_HOME, else ~/.local/share. Empty when none can be determined.
QString localAppDataFolder();

/// The machine-wide installation folder that holds the fallback settings
/// file: $VNORVAK_MACHINE_DIR, else /etc/vantel/.
QString machineFolder();

/// The folder in which a bare profile-file name resolves: $VNORVAK_SYSTEM_DIR,
/// else /etc/.
QString systemProfileFolder();

/// `path` with a "/" appended when it does not already end with one ("" gives "/").
QString withTrailingSeparator(const QString &path);

} // namespace modVNQRN
