// The message audio decoder on arbitrary bytes: every byte is two samples,
// and what is decoded encodes and decodes again to the same length.

#include "fuzz_support.h"

#include "telephony/vox_decoder.h"

#include <QFile>

using namespace VoiceBocxLib;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzWorkstation &ws = FuzzWorkstation::instance();
    const QByteArray bytes = bytesOf(data, size);
    const int rate = (size % 3 == 0) ? kVoxRate6k : kVoxRate8k;
    const PcmAudio audio = decodeVoxBytes(bytes, rate);
    FUZZ_CHECK(audio.samples.size() == 2 * bytes.size());
    FUZZ_CHECK(audio.sampleRate == rate);

    const QByteArray again = encodeVox(audio.samples, rate);
    FUZZ_CHECK(again.size() == bytes.size());
    FUZZ_CHECK(decodeVoxBytes(again, rate).samples.size() == audio.samples.size());

    // The file path the player takes.
    const QString path = ws.folder() + u"fuzz.vox";
    {
        QFile out(path);
        FUZZ_CHECK(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(bytes);
    }
    FUZZ_CHECK(decodeVoxFile(path, rate).samples.size() == audio.samples.size());
    return 0;
}
