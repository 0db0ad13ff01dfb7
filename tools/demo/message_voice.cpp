#include "message_voice.h"

#include "telephony/vox_decoder.h"

#include "shared/error.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QVector>

#include <cmath>
#include <numbers>

using modVNQRN::Error;

namespace VNOrvak
{

namespace
{

constexpr int kToolTimeoutMs = 60000;

void runTool(const QString &program, const QStringList &args)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, args);
    const bool finished = process.waitForFinished(kToolTimeoutMs);
    const QString output = QString::fromLocal8Bit(process.readAll()).trimmed();
    if (!finished) {
        process.kill();
        process.waitForFinished();
        throw Error(modVNQRN::errUnexpected, program + u" did not finish");
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        throw Error(modVNQRN::errUnexpected, program + u" failed (exit " +
                                                 QString::number(process.exitCode()) + u")" +
                                                 (output.isEmpty() ? QString() : u": " + output));
}

} // namespace

bool speechToolsAvailable()
{
    return !QStandardPaths::findExecutable(QStringLiteral("espeak-ng")).isEmpty() &&
           !QStandardPaths::findExecutable(QStringLiteral("sox")).isEmpty();
}

void writeSpokenMessage(const QString &path, const QString &text, const QString &voice,
                        const QString &workFolder)
{
    const QString wav = workFolder + u"/speech.wav";
    const QString vox = workFolder + u"/speech.vox";
    QFile::remove(vox);
    runTool(QStringLiteral("espeak-ng"), {QStringLiteral("-v"), voice, QStringLiteral("-s"),
                                          QStringLiteral("150"), QStringLiteral("-w"), wav, text});
    // norm: every caller at the same level, just below full scale.
    runTool(QStringLiteral("sox"),
            {wav, QStringLiteral("-r"), QStringLiteral("8000"), QStringLiteral("-c"),
             QStringLiteral("1"), QStringLiteral("-t"), QStringLiteral("vox"), vox,
             QStringLiteral("norm"), QStringLiteral("-1")});
    QFile::remove(wav);
    QFile::remove(path);
    if (!QFile::rename(vox, path))
        throw Error(modVNQRN::errPathFileAccess, u"Cannot write " + path);
}

void writeToneMessage(const QString &path, double seconds, int frequency)
{
    const int rate = VoiceBocxLib::kVoxRate8k;
    QVector<qint16> samples(qsizetype(seconds * rate));
    for (qsizetype i = 0; i < samples.size(); ++i) {
        const double t = double(i) / rate;
        const bool on = std::fmod(t, 0.6) < 0.4;
        samples[i] = on ? qint16(8000 * std::sin(2 * std::numbers::pi * frequency * t)) : 0;
    }
    VoiceBocxLib::writeVoxFile(path, samples);
}

} // namespace VNOrvak
