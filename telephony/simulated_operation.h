#pragma once

#include <QElapsedTimer>
#include <QEventLoop>

#include <functional>
#include <memory>
#include <vector>

class QTimer;

namespace VoiceBocxLib
{

/// How a simulated operation ended.
enum class SimEnding {
    End,       ///< it ran its full length (the file's end, the answer, the time-out)
    StopTone,  ///< a key of the stop-tone set was pressed
    StopVoice, ///< StopVoice was called
    HangUp,    ///< the far end hung up
    Done,      ///< it completed early on its own terms (enough digits collected)
};

/// One blocking operation of a simulated device: a nested event loop that
/// lasts `lengthSeconds` of simulated time (negative: until finished),
/// scaled to real time by `timeScale`, with actions run at given simulated
/// seconds. Positions are simulated seconds from the start; inside an
/// action the position is exactly the action's second, so scripted stops
/// give exact elapsed times whatever the timer jitter.
class SimulatedOperation
{
public:
    SimulatedOperation(double timeScale, double lengthSeconds);
    ~SimulatedOperation();

    /// Runs `action` at `second` if the operation still runs then. Before run().
    void at(double second, std::function<void()> action);
    /// Blocks until the length has passed or finish() is called.
    SimEnding run();
    /// Ends the operation (from an action, a click or a device event).
    void finish(SimEnding ending);

    /// The device running the operation is being deleted: the operation
    /// ends, and its caller must throw without touching the device.
    void abandon()
    {
        m_abandoned = true;
        finish(SimEnding::HangUp);
    }
    bool abandoned() const { return m_abandoned; }

    bool running() const { return m_running; }
    /// The simulated seconds since the start (the length at most).
    double position() const;
    SimEnding ending() const { return m_ending; }

private:
    double m_scale;
    double m_length;
    bool m_running = false;
    bool m_abandoned = false;
    SimEnding m_ending = SimEnding::End;
    double m_actionSecond = -1;
    double m_endPosition = -1;
    QElapsedTimer m_elapsed;
    QEventLoop m_loop;
    std::vector<std::pair<double, std::function<void()>>> m_actions;
    std::vector<std::unique_ptr<QTimer>> m_timers;
};

} // namespace VoiceBocxLib

namespace VoiceBocxLib
{

/// The playing time of an 8 kHz 4-bit ADPCM voice file: bytes / 4000
/// seconds. Throws vbErrFileOpen when the file cannot be read.
double voiceFileSeconds(const QString &path);

/// Bytes of voice data for `seconds` at 8 kHz 4-bit ADPCM.
inline qint64 voiceBytesFor(double seconds)
{
    return static_cast<qint64>(seconds * 4000.0);
}

} // namespace VoiceBocxLib
