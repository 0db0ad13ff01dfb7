#include "play_probe.h"

#include "event_log.h"

#include "shared/environment.h"
#include "shared/profile.h"
#include "telephony/simulated_voice_board.h"
#include "telephony/simulated_wave_device.h"
#include "telephony/voice_board_registry.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonObject>

using namespace VoiceBocxLib;

namespace
{

// The temporary copy every play hands to the device.
QString playedFile(const QString &localFolder)
{
    return localFolder + QStringLiteral("TEMP.vox");
}

QString endingName(SimEnding ending)
{
    switch (ending) {
    case SimEnding::End:
        return QStringLiteral("end");
    case SimEnding::StopTone:
        return QStringLiteral("stop_tone");
    case SimEnding::StopVoice:
        return QStringLiteral("stop_voice");
    case SimEnding::HangUp:
        return QStringLiteral("hang_up");
    case SimEnding::Done:
        return QStringLiteral("done");
    }
    return QStringLiteral("unknown");
}

// The serial the soak's recorder writes after its tag, -1 without one.
qint64 soakSerial(const QByteArray &data)
{
    static const QByteArray tag("VNSOAK");
    if (!data.startsWith(tag) || data.size() < tag.size() + 8)
        return -1;
    bool ok = false;
    const qint64 serial = data.mid(tag.size(), 8).toLongLong(&ok);
    return ok ? serial : -1;
}

PlayProbe *g_probe = nullptr;

} // namespace

PlayProbe::PlayProbe(EventLog &log) : m_log(log)
{
    g_probe = this;
    installFactories();
}

PlayProbe::~PlayProbe()
{
    g_probe = nullptr;
}

void PlayProbe::installFactories()
{
    // Both devices call back at second 0 of each play, while the file they
    // were given is the one being played, and arm the next call.
    registerWaveDevice(QStringLiteral("simulated"), [](const VoiceBoardConfig &config) {
        auto wave = std::make_unique<SimulatedWaveDevice>(config.timeScale);
        auto *device = wave.get();
        const QString file = playedFile(modVNQRN::gsLocalPath);
        if (g_probe) {
            Device &d = g_probe->m_wave;
            d = {device, {}, 0};
            d.arm = [device, file, &d] {
                device->duringNextPlay(0, [device, file, &d] {
                    if (g_probe && d.instance == device)
                        g_probe->noteStart(d, QStringLiteral("sound_card"), device->plays().size(),
                                           file);
                });
            };
            d.arm();
        }
        return wave;
    });
    registerVoiceBoard(QStringLiteral("simulated"), [](const VoiceBoardConfig &config,
                                                       std::unique_ptr<WaveDevice> wave) {
        SimulatedVoiceBoard::Settings settings;
        settings.timeScale = config.timeScale;
        settings.channels = modVNQRN::ReadProfileInt(QStringLiteral("VoiceBoard"),
                                                     QStringLiteral("Channels"), 4, config.iniFile);
        settings.answerSeconds = modVNQRN::ReadProfileString(QStringLiteral("VoiceBoard"),
                                                             QStringLiteral("AnswerSeconds"),
                                                             QStringLiteral("2"), config.iniFile)
                                     .toDouble();
        auto board = std::make_unique<SimulatedVoiceBoard>(settings, std::move(wave));
        auto *device = board.get();
        const QString file = playedFile(modVNQRN::gsLocalPath);
        if (g_probe) {
            Device &d = g_probe->m_line;
            d = {device, {}, 0};
            d.arm = [device, file, &d] {
                device->during(SimOp::PlayFile, 0, [device, file, &d] {
                    if (g_probe && d.instance == device)
                        g_probe->noteStart(d, QStringLiteral("line"), device->plays().size(), file);
                });
            };
            d.arm();
        }
        return board;
    });
}

void PlayProbe::noteStart(Device &device, const QString &name, qsizetype index, const QString &file)
{
    device.accounted = index + 1;
    device.arm();
    flush();
    QFile f(file);
    QByteArray data;
    if (f.open(QIODevice::ReadOnly))
        data = f.readAll();
    // Said at once, so that a soak's recorder can race the play.
    m_log.write(QStringLiteral("play_start"),
                {{QStringLiteral("device"), name}, {QStringLiteral("serial"), soakSerial(data)}});
    m_started.append(
        {name, device.instance, index, file, data.size(),
         QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Sha1).toHex()),
         soakSerial(data)});
}

// A play stopped before its first moment never ran the call-back, and took
// it along: the next play needs a new one.
void PlayProbe::rearmIfLost(Device &device, const void *current, qsizetype plays)
{
    if (device.instance == current && current && plays > device.accounted) {
        device.accounted = plays;
        device.arm();
    }
}

void PlayProbe::flush()
{
    const auto *board = SimulatedVoiceBoard::last();
    const auto *wave = SimulatedWaveDevice::last();
    if (board)
        rearmIfLost(m_line, board, board->plays().size());
    if (wave)
        rearmIfLost(m_wave, wave, wave->plays().size());
    for (auto it = m_started.begin(); it != m_started.end();) {
        const QList<SimPlay> *plays = nullptr;
        if (it->instance == board)
            plays = &board->plays();
        else if (it->instance == wave)
            plays = &wave->plays();
        if (plays && plays->size() <= it->index) {
            ++it; // still playing
            continue;
        }
        QJsonObject fields{{QStringLiteral("device"), it->device},
                           {QStringLiteral("bytes"), it->bytes},
                           {QStringLiteral("sha1"), it->sha1},
                           {QStringLiteral("serial"), it->serial}};
        // A device gone (Terminate) took its record with it.
        if (plays) {
            const SimPlay &play = plays->at(it->index);
            fields.insert(QStringLiteral("ending"), endingName(play.ending));
            fields.insert(QStringLiteral("start_second"), play.startSecond);
            fields.insert(QStringLiteral("end_position"), play.endPosition);
        }
        m_log.write(QStringLiteral("played"), fields);
        it = m_started.erase(it);
    }
}
