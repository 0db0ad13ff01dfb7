#pragma once

// A workstation of its own for the benchmarks that click the control: its
// folders under a temporary root (through the environment), its local
// settings file, and a messages folder with one heard message of entity 42.
// The route the control plays on (sound card or telephone line) is each
// benchmark's own setting.

#include "shared/profile.h"
#include "telephony/vox_decoder.h"

#include <QByteArray>
#include <QDir>
#include <QString>
#include <QVector>

class BenchWorkstation
{
public:
    /// Points the workstation's folders at `root` and writes the settings
    /// every benchmark needs: the installation folder, and no polling of the
    /// messages folder while the clicks are timed.
    explicit BenchWorkstation(const QString &root) : m_root(root)
    {
        qputenv("VNORVAK_LOCAL_APPDATA", (root + u"/appdata").toUtf8());
        qputenv("VNORVAK_MACHINE_DIR", (root + u"/machine").toUtf8());
        qputenv("VNORVAK_SYSTEM_DIR", (root + u"/system").toUtf8());
        const QString local = root + u"/appdata/Qrn/Vantel/";
        QDir().mkpath(local);
        QDir().mkpath(messages());
        m_ini = local + u"QelLocal.ini";
        set("Zuzidivuz", "VnPath", root + u"/inst");
        set("Messages", "MsgTimer", QStringLiteral("0"));
    }

    /// The local settings file.
    QString ini() const { return m_ini; }
    /// Writes `key` of `section` in the local settings file.
    void set(const char *section, const char *key, const QString &value) const
    {
        modVNQRN::WriteProfileString(QString::fromLatin1(section), QString::fromLatin1(key), value,
                                     m_ini);
    }
    /// Writes the heard message of entity 42 holding `samples` (8000 Hz); its path.
    QString writeMessage(const QVector<qint16> &samples) const
    {
        const QString path = messages() + u"M0000000042A.vox";
        VoiceBocxLib::writeVoxFile(path, samples);
        return path;
    }

private:
    QString messages() const { return m_root + u"/inst/VNT/Data/messages/"; }

    QString m_root;
    QString m_ini;
};
