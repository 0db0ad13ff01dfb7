#pragma once

#include <QString>

namespace VNOrvak
{

/// Whether spoken messages can be made here: espeak-ng (the speech
/// synthesizer) and sox (to resample and encode) are both on the PATH.
bool speechToolsAvailable();

/// Speaks `text` with the espeak-ng voice `voice` into the message file
/// `path` (8 kHz VOX ADPCM), using `workFolder` for the intermediate files.
/// The file appears in one step, complete. Throws modVNQRN::Error 440 naming
/// the tool and its complaint when a tool fails.
void writeSpokenMessage(const QString &path, const QString &text, const QString &voice,
                        const QString &workFolder);

/// Writes a message of `seconds` of beeps at `frequency` Hz (0.4 s on, 0.2 s
/// off) to `path` (8 kHz VOX ADPCM): the stand-in for speech without a
/// synthesizer. Throws modVNQRN::Error when the file cannot be written.
void writeToneMessage(const QString &path, double seconds, int frequency);

} // namespace VNOrvak
