#include "voice_board_registry.h"

#include "null_voice_board.h"
#include "simulated_voice_board.h"
#include "sound_card_wave_device.h"
#include "voice_board_plugins.h"
#include "vox_decoder.h"

#include "shared/error_log.h"
#include "shared/profile.h"

#include <QMap>

#include <stdexcept>

namespace VoiceBocxLib
{

namespace
{

const QString kNone = QStringLiteral("none");
const QString kSimulated = QStringLiteral("simulated");
const QString kSoundCard = QStringLiteral("soundcard");

QString section()
{
    return QString::fromUtf16(kVoiceBoardSection);
}

// The simulated devices' times become timer milliseconds: a scale or a
// time beyond kMaxSeconds (or not a number at all) would overflow them.
constexpr double kMaxSeconds = 1000;

double readDouble(const QString &key, double defaultValue, const QString &iniFile)
{
    bool ok = false;
    const double value =
        modVNQRN::ReadProfileString(section(), key, QString(), iniFile).trimmed().toDouble(&ok);
    return ok && value >= 0 && value <= kMaxSeconds ? value : defaultValue;
}

struct Registry {
    QMap<QString, VoiceBoardFactory> boards;
    QMap<QString, WaveDeviceFactory> waves;
    VoiceBoardFactory override;

    Registry()
    {
        boards.insert(kNone, [](const VoiceBoardConfig &, std::unique_ptr<WaveDevice> wave) {
            return std::make_unique<NullVoiceBoard>(std::move(wave));
        });
        boards.insert(kSimulated, [](const VoiceBoardConfig &config,
                                     std::unique_ptr<WaveDevice> wave) {
            SimulatedVoiceBoard::Settings settings;
            settings.timeScale = config.timeScale;
            settings.channels =
                modVNQRN::ReadProfileInt(section(), QStringLiteral("Channels"), 4, config.iniFile);
            settings.answerSeconds =
                readDouble(QStringLiteral("AnswerSeconds"), 2.0, config.iniFile);
            return std::make_unique<SimulatedVoiceBoard>(settings, std::move(wave));
        });
        waves.insert(kNone, [](const VoiceBoardConfig &) { return nullptr; });
        waves.insert(kSimulated, [](const VoiceBoardConfig &config) {
            return std::make_unique<SimulatedWaveDevice>(config.timeScale);
        });
        waves.insert(kSoundCard, [](const VoiceBoardConfig &config) {
            return std::make_unique<SoundCardWaveDevice>(voxRateSetting(config.iniFile));
        });
    }
};

Registry &registry()
{
    thread_local Registry instance;
    return instance;
}

void logFallback(const QString &what, const QString &name, const QString &why)
{
    // Short enough to stay on one line of the error log.
    modVNQRN::WriteLog(what + u" \"" + name + u"\": " + why + u"; using none");
}

QString failureText()
{
    try {
        throw;
    } catch (const std::exception &e) {
        return QString::fromLocal8Bit(e.what());
    } catch (...) {
        return QStringLiteral("unknown failure");
    }
}

// The factory of back end `name`, its plug-in loaded if need be; null, with
// the reason in `why`, when there is none.
const VoiceBoardFactory *boardFactory(const QString &name, QString &why)
{
    auto it = registry().boards.constFind(name);
    if (it == registry().boards.cend() && loadVoiceBoardPlugin(name, why))
        it = registry().boards.constFind(name);
    if (it != registry().boards.cend())
        return &*it;
    if (why.isEmpty())
        why = QStringLiteral("unknown name");
    return nullptr;
}

std::unique_ptr<WaveDevice> createWave(const VoiceBoardConfig &config)
{
    const auto it = registry().waves.constFind(config.waveDevice);
    if (it == registry().waves.cend()) {
        logFallback(QStringLiteral("VoiceBoard WaveDevice"), config.waveDevice,
                    QStringLiteral("unknown name"));
        return nullptr;
    }
    try {
        return (*it)(config);
    } catch (...) {
        logFallback(QStringLiteral("VoiceBoard WaveDevice"), config.waveDevice, failureText());
        return nullptr;
    }
}

} // namespace

VoiceBoardConfig readVoiceBoardConfig(const QString &iniFile)
{
    VoiceBoardConfig config;
    config.iniFile = iniFile;
    config.driver = modVNQRN::ReadProfileString(section(), QStringLiteral("Driver"), kNone, iniFile)
                        .trimmed()
                        .toLower();
    if (config.driver.isEmpty())
        config.driver = kNone;
    // A workstation plays on its own audio output unless the simulated board
    // (demo, tests) brings its simulated one.
    const QString waveDefault = config.driver == kSimulated ? kSimulated : kSoundCard;
    config.waveDevice =
        modVNQRN::ReadProfileString(section(), QStringLiteral("WaveDevice"), waveDefault, iniFile)
            .trimmed()
            .toLower();
    if (config.waveDevice.isEmpty())
        config.waveDevice = waveDefault;
    config.timeScale = readDouble(QStringLiteral("TimeScale"), 1.0, iniFile);
    return config;
}

void registerVoiceBoard(const QString &name, VoiceBoardFactory factory)
{
    registry().boards.insert(name.toLower(), std::move(factory));
}

void registerWaveDevice(const QString &name, WaveDeviceFactory factory)
{
    registry().waves.insert(name.toLower(), std::move(factory));
}

void setVoiceBoardFactory(VoiceBoardFactory factory)
{
    registry().override = std::move(factory);
}

std::unique_ptr<VoiceBocx> createNamedVoiceBoard(const VoiceBoardConfig &config,
                                                 std::unique_ptr<WaveDevice> wave)
{
    QString why;
    const VoiceBoardFactory *factory = boardFactory(config.driver, why);
    if (!factory)
        throw std::runtime_error(why.toLocal8Bit().toStdString());
    return (*factory)(config, std::move(wave));
}

std::unique_ptr<VoiceBocx> createVoiceBoard(const QString &iniFile)
{
    const VoiceBoardConfig config = readVoiceBoardConfig(iniFile);
    if (registry().override)
        return registry().override(config, createWave(config));

    QString why;
    const VoiceBoardFactory *factory = boardFactory(config.driver, why);
    if (!factory) {
        logFallback(QStringLiteral("VoiceBoard Driver"), config.driver, why);
    } else {
        try {
            if (auto board = (*factory)(config, createWave(config)))
                return board;
            logFallback(QStringLiteral("VoiceBoard Driver"), config.driver,
                        QStringLiteral("no board"));
        } catch (...) {
            logFallback(QStringLiteral("VoiceBoard Driver"), config.driver, failureText());
        }
    }
    return std::make_unique<NullVoiceBoard>(createWave(config));
}

} // namespace VoiceBocxLib
