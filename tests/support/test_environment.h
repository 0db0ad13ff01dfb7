#pragma once

#include <QDir>
#include <QString>
#include <QTemporaryDir>

/// A workstation in a temporary folder: the local application-data folder,
/// the machine folder and the folder of bare profile names all point inside
/// it (through the environment variables the product honours), and the
/// environment record is cleared. Nothing outside the folder is touched.
class TestWorkstation
{
public:
    TestWorkstation();
    ~TestWorkstation() { clearEnvironmentRecord(); }

    QString root() const { return m_dir.path() + u'/'; }
    /// Where GetLocalAppFolder() points: "<root>appdata/Qrn/Vantel/".
    QString localAppFolder() const { return root() + u"appdata/Qrn/Vantel/"; }
    QString machineFolder() const { return root() + u"machine/"; }
    QString systemFolder() const { return root() + u"system/"; }

    /// Writes `contents` to `path` (folders created), replacing what was there.
    static void writeFile(const QString &path, const QByteArray &contents);
    static QByteArray readFile(const QString &path);

private:
    static void clearEnvironmentRecord();

    QTemporaryDir m_dir;
};
