#pragma once

#include <QString>

#include <algorithm>

namespace VoiceBocxLib
{

/// The keys of one CollectDigits of `count` keys are complete once that many
/// were pressed, or a "#" among the first `count`.
inline bool digitsComplete(const QString &pressed, qint32 count)
{
    const qsizetype hash = pressed.indexOf(u'#');
    return pressed.size() >= count || (hash >= 0 && hash < count);
}

/// Takes the keys of one CollectDigits off the front of `pressed`: `count`
/// keys, or fewer up to and including a "#".
inline QString takeDigits(QString &pressed, qint32 count)
{
    qsizetype n = std::min<qsizetype>(count, pressed.size());
    const qsizetype hash = pressed.indexOf(u'#');
    if (hash >= 0 && hash < n)
        n = hash + 1;
    const QString taken = pressed.left(n);
    pressed.remove(0, n);
    return taken;
}

} // namespace VoiceBocxLib
