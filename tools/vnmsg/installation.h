#pragma once

#include <QString>

/// What vnmsg needs of the installation this workstation finds.
struct Installation {
    bool found = false;     ///< a settings file names the installation's root
    QString dataPath;       ///< gsDataPath (ends with "/")
    QString messagesFolder; ///< the shared messages folder
    int voxRate = 8000;     ///< the message rate of this workstation ("VoxRate")
};

/// Looks for the installation as a control of `program` would, without the
/// error box a control shows when there is none.
Installation findInstallation(const QString &program = QStringLiteral("VN-Orvak"));

/// The messages folder `command` works on: `given` (ending with "/" added),
/// else the installation's. 0 when it is a folder; otherwise the exit code
/// (3: no installation, no such folder, or the bare mount point of a share
/// that is not mounted; 1: it cannot be read) after a message on standard
/// error.
int messagesFolderFor(const QString &command, const QString &given,
                      const Installation &installation, QString &folder);

/// The message name that `word` gives ("NA000000201A" or "NA000000201A.vox"),
/// or empty when it names no message.
QString messageNameOf(const QString &word);

/// "m:ss" of a message of `bytes` at `rate` (two samples a byte).
QString messageLength(qint64 bytes, int rate);

/// `text` as a JSON string, quotes included.
QByteArray jsonString(const QString &text);
