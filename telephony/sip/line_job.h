#pragma once

#include <QVector>

#include <chrono>
#include <memory>

namespace VoiceBocxLib
{

/// How a media job on the call (a play, a beep, a recording) ended.
enum class LineEnding {
    End,     ///< played to its end
    StopKey, ///< a key of its stop-key set was pressed
    Stopped, ///< stopped by the owner (StopVoice, HangUp)
    HangUp,  ///< the call ended under it
    NoCall,  ///< no call was up to run it on
    MaxTime, ///< a recording reached its maximum time
    Silence, ///< a recording heard nothing for its silence time
};

/// The outcome of a media job.
struct LineResult {
    LineEnding ending = LineEnding::NoCall;
    qint64 samples = 0;       ///< samples sent (a play) or received (a recording)
    QVector<qint16> recorded; ///< a recording's audio at the call's rate
};

/// Audio handed to the line's thread: never changed once shared.
using SharedAudio = std::shared_ptr<const QVector<qint16>>;

/// When the packets of the last play left, for measuring the line's pace.
struct PlayTiming {
    qint64 requestedNs = 0; ///< the play was asked for (steady clock)
    QVector<qint64> sentNs; ///< each packet of the play left (steady clock)
};

/// One RTP packet the line sent (tests and benchmarks of its pace).
struct SentPacket {
    qint64 sentNs = 0;     ///< when it left (steady clock)
    qint64 dueNs = 0;      ///< when it was due on the call's clock
    quint32 timestamp = 0; ///< its RTP timestamp
    quint16 sequence = 0;  ///< its RTP sequence number
    bool marker = false;   ///< its marker bit
    bool playing = false;  ///< it carried a play's audio (not silence)
};

/// For benchmarks of the delay from a click to the first sound on the line:
/// when the line first did each of these since the record was last taken
/// (steady clock, 0: not since). The line only stores the stamps; nothing in
/// the product reads them.
struct LineTiming {
    qint64 dialNs = 0;      ///< an INVITE was handed to the SIP stack
    qint64 answeredNs = 0;  ///< a call was answered (the far end's 200 OK arrived)
    qint64 firstPlayNs = 0; ///< the first packet of a play (a beep or a message) left
};

/// The steady clock's time, as the timing records above hold it.
inline qint64 steadyNowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace VoiceBocxLib
