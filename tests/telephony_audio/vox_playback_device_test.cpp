// What the sound card is given for a message, read without any audio device:
// silence, the message with ramped edges, silence.

#include "telephony/vox_playback_device.h"

#include "support/test_environment.h"
#include "support/thrown_error.h"
#include "test_message.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace VoiceBocxLib;

namespace
{

constexpr int kLead = 320; // 40 ms at 8000 Hz
constexpr int kTail = 800; // 100 ms
constexpr int kFade = 40;  // 5 ms
constexpr int kClick = 4096;

QVector<qint16> readFrames(VoxPlaybackDevice &device, qint64 frames = -1)
{
    // Odd-sized reads on purpose: the device hands out whole samples only.
    QVector<qint16> out;
    QByteArray buffer(333, '\0');
    while (frames < 0 || out.size() < frames) {
        const qint64 want =
            frames < 0 ? buffer.size() : std::min<qint64>(buffer.size(), (frames - out.size()) * 2);
        const qint64 n = device.read(buffer.data(), want);
        if (n <= 0)
            break;
        EXPECT_EQ(n % 2, 0);
        const auto *p = reinterpret_cast<const qint16 *>(buffer.constData());
        out.append(QVector<qint16>(p, p + n / 2));
    }
    return out;
}

bool silent(const QVector<qint16> &s, qsizetype from, qsizetype to)
{
    return std::all_of(s.begin() + from, s.begin() + to, [](qint16 v) { return v == 0; });
}

class VoxPlaybackDeviceTest : public ::testing::Test
{
protected:
    QString messageFile(int ms)
    {
        writeVoxFile(path, loudHumMessage(ms));
        reference = decodeVoxFile(path).samples;
        return path;
    }

    TestWorkstation ws;
    QString path = ws.root() + u"TEMP.vox";
    QVector<qint16> reference;
    VoxPlaybackDevice device;
};

} // namespace

TEST_F(VoxPlaybackDeviceTest, TheMessageComesBetweenSilencesAndItsEndIsRamped)
{
    messageFile(1000);
    device.start(path, kVoxRate8k, 0, 40, 100);
    EXPECT_EQ(device.bytesAvailable(), (kLead + 8000 + kTail) * 2);
    const QVector<qint16> out = readFrames(device);
    ASSERT_EQ(out.size(), kLead + 8000 + kTail);
    EXPECT_EQ(device.bytesAvailable(), 0);
    EXPECT_TRUE(silent(out, 0, kLead));
    EXPECT_TRUE(silent(out, kLead + 8000, out.size()));
    EXPECT_EQ(out.mid(kLead + kFade, 8000 - 2 * kFade), reference.mid(kFade, 8000 - 2 * kFade));
    for (qsizetype i = 0; i < 8000; ++i)
        ASSERT_LE(std::abs(out[kLead + i]), std::abs(reference[i]) + 1) << i;

    // The message ends loud; the last samples come down to silence in steps.
    ASSERT_LT(largestStep(reference, kFade), kClick);
    ASSERT_GT(std::abs(reference.last()), kClick);
    EXPECT_LE(largestStep(out, kLead + 4000), kClick);
    EXPECT_LT(std::abs(out[kLead + 7999]), std::abs(reference.last()) / 20);

    EXPECT_EQ(device.startFrame(), 0);
    EXPECT_EQ(device.endFrame(), 8000);
    EXPECT_EQ(device.leadInBytes(), kLead * 2);
    EXPECT_EQ(device.messageEndBytes(), (kLead + 8000) * 2);
    EXPECT_EQ(device.framesAt(0), 0);
    EXPECT_EQ(device.framesAt((kLead + 1234) * 2), 1234);
    EXPECT_EQ(device.framesAt(1 << 30), 8000);
}

// A cut (stop or pause) fades out from the very next sample read; the
// position it returns is where the sound ends.
TEST_F(VoxPlaybackDeviceTest, ACutFadesOutFromTheNextSampleAndEndsTheMessageThere)
{
    messageFile(1000);
    const struct {
        const char *when;
        qint64 readBefore;
        qint64 end;
    } rows[] = {
        {"in the lead-in", 100, 0},
        {"mid-message", kLead + 4000, 4000 + kFade},
        {"in the end's own fade", kLead + 7990, 8000},
        {"in the silence after", kLead + 8000 + 10, 8000},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.when);
        device.start(path, kVoxRate8k, 0, 40, 100);
        QVector<qint16> out = readFrames(device, row.readBefore);
        EXPECT_EQ(device.cut(), row.end);
        EXPECT_EQ(device.endFrame(), row.end);
        EXPECT_EQ(device.messageEndBytes(), (kLead + row.end) * 2);
        // What is left after a cut is taken in one piece.
        const QByteArray rest = device.readAll();
        const auto *p = reinterpret_cast<const qint16 *>(rest.constData());
        out += QVector<qint16>(p, p + rest.size() / 2);
        ASSERT_EQ(out.size(), kLead + row.end + kTail);
        EXPECT_TRUE(silent(out, kLead + row.end, out.size()));
        EXPECT_LE(largestStep(out, kLead + kFade), kClick);
    }

    // Mid-message: untouched up to the cut, then the ramp down over 5 ms.
    device.start(path, kVoxRate8k, 0, 40, 100);
    QVector<qint16> out = readFrames(device, kLead + 4000);
    device.cut();
    out += readFrames(device);
    EXPECT_EQ(out.mid(kLead + kFade, 4000 - kFade), reference.mid(kFade, 4000 - kFade));
    for (int k = 0; k < kFade; ++k)
        EXPECT_NEAR(out[kLead + 4000 + k], reference[4000 + k] * (kFade - k) / (kFade + 1.0), 1.0)
            << k;
}

// A resume starts mid-message at full level: the fade-in keeps it from
// clicking, and from there on the samples are those of the whole decode.
TEST_F(VoxPlaybackDeviceTest, AResumeStartsAtItsSecondWithAFadeIn)
{
    messageFile(3000);
    device.start(path, kVoxRate8k, 2, 40, 100);
    EXPECT_EQ(device.startFrame(), 16000);
    EXPECT_EQ(device.endFrame(), 24000);
    QVector<qint16> out = readFrames(device);
    ASSERT_EQ(out.size(), kLead + 8000 + kTail);
    ASSERT_GT(std::abs(reference[16000]), kClick);
    EXPECT_LE(largestStep(out), kClick);
    EXPECT_EQ(out.mid(kLead + kFade, 4000), reference.mid(16000 + kFade, 4000));
    EXPECT_EQ(device.framesAt((kLead + 10) * 2), 16010);

    // At 6000 Hz the same file lasts 4 s, and every length follows the rate.
    device.start(path, kVoxRate6k, 1, 40, 100);
    EXPECT_EQ(device.startFrame(), 6000);
    EXPECT_EQ(device.leadInBytes(), 240 * 2);
    out = readFrames(device);
    EXPECT_EQ(out.size(), 240 + 18000 + 600);
    EXPECT_EQ(out.mid(240 + 30, 1000), reference.mid(6000 + 30, 1000));

    // Past the end: only the silences.
    device.start(path, kVoxRate8k, 5, 40, 100);
    EXPECT_EQ(device.startFrame(), 24000);
    EXPECT_EQ(device.endFrame(), 24000);
    out = readFrames(device);
    EXPECT_EQ(out.size(), kLead + kTail);
    EXPECT_TRUE(silent(out, 0, out.size()));

    // A file that cannot be played leaves the device closed.
    EXPECT_EQ(thrownError([&] { device.start(path + u".gone", kVoxRate8k, 0, 40, 100); }).number(),
              modVNQRN::errFileNotFound);
    EXPECT_FALSE(device.isOpen());
}
