#pragma once

#include <QDir>
#include <QString>
#include <QTemporaryDir>

/// Settings lines of a workstation that polls only when a test ticks and
/// calls port 1 on the simulated board, which plays in no time.
inline constexpr char kSimulatedBoardSettings[] =
    "[Messages]\nMsgTimer=0\nMsgport=1\nConnectString=201\n"
    "[VoiceBoard]\nDriver=simulated\nTimeScale=0.001\n";

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
    QString localIni() const { return localAppFolder() + u"QelLocal.ini"; }
    /// The messages folder of the installation in "<root>inst/".
    QString messagesFolder() const { return root() + u"inst/VNT/Data/messages/"; }

    /// Writes the local settings file of a workstation on the installation in
    /// "<root>inst/": the "VnPath" line, then `settings` (section "Zuzidivuz"
    /// goes on until they open another).
    void writeLocalIni(const QByteArray &settings) const;
    /// Points the product's local application-data, machine and system
    /// folders at the given folders.
    static void useFolders(const QString &appData, const QString &machine, const QString &system);

    /// Writes `contents` to `path` (folders created), replacing what was there.
    static void writeFile(const QString &path, const QByteArray &contents);
    static QByteArray readFile(const QString &path);

private:
    static void clearEnvironmentRecord();

    QTemporaryDir m_dir;
};

/// Today's error log (by the product's clock), its wrapped lines joined.
QString todaysErrorLog();
