#pragma once

#include <QDateTime>
#include <QMetaType>
#include <QString>

namespace VNOrvak
{

/// What the playback is doing, for hosts and tools (MessagePlayback::state()).
struct PlaybackState {
    enum class Phase { Idle, Playing, Paused };
    Phase phase = Phase::Idle;
    QString entity;           ///< the entity whose messages play ("" when none)
    QString message;          ///< the 12-character name being played ("" when idle)
    int position = 0;         ///< n of m within the entity's messages (1-based; 0 when idle)
    int count = 0;            ///< m
    QDateTime callDate;       ///< the message file's date
    double lengthSeconds = 0; ///< from the file size and the message rate
    double playedSeconds = 0; ///< so far

    /// Equal in every field but playedSeconds.
    bool sameApartFromPlayed(const PlaybackState &other) const
    {
        return phase == other.phase && entity == other.entity && message == other.message &&
               position == other.position && count == other.count && callDate == other.callDate &&
               lengthSeconds == other.lengthSeconds;
    }
};

} // namespace VNOrvak

Q_DECLARE_METATYPE(VNOrvak::PlaybackState)
