#pragma once

#include <QByteArray>
#include <QString>

namespace modVNQRN
{

/// How the workstation's "ANSI" text maps on this platform: bytes are read as
/// UTF-8, and any byte that does not start a valid UTF-8 sequence is read as a
/// Windows-1252 character, so files written by older Windows tools still read
/// as their authors meant. Text is always written as UTF-8.
QString decodeAnsi(const QByteArray &bytes);
QByteArray encodeAnsi(const QString &text);

/// The Windows-1252 code of a character, or 63 ("?") for a character that
/// Windows-1252 cannot hold (as the platform's best-fit conversion gives).
int ansiCode(char32_t ch);

} // namespace modVNQRN
