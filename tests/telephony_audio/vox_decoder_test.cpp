#include "telephony/vox_decoder.h"

#include "signal_match.h"
#include "support/test_environment.h"
#include "support/thrown_error.h"
#include "test_message.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

using namespace VoiceBocxLib;

TEST(VoxDecoderTest, RoundTripsKeepTheSoundAndTwoSamplesPerByteAtEitherRate)
{
    const QVector<qint16> message = speechLikeMessage(1000);
    const QByteArray vox = encodeVox(message);
    EXPECT_EQ(vox.size(), 4000); // seconds = bytes / 4000 at 8000 Hz
    const PcmAudio audio = decodeVoxBytes(vox);
    ASSERT_EQ(audio.samples.size(), 8000);
    EXPECT_EQ(audio.durationMs(), 1000);
    EXPECT_GT(correlationAt(message, audio.samples, 0), 0.95);
    // An odd sample count is padded to whole bytes.
    EXPECT_EQ(encodeVox(std::span<const qint16>(message.constData(), 7)).size(), 4);

    TestWorkstation ws;
    const QString path = ws.root() + u"N000000001.vox";
    const QVector<qint16> slow = speechLikeMessage(600, kVoxRate6k);
    writeVoxFile(path, slow, kVoxRate6k);
    EXPECT_EQ(QFile(path).size(), 1800);
    const PcmAudio at6k = decodeVoxFile(path, kVoxRate6k);
    EXPECT_EQ(at6k.sampleRate, kVoxRate6k);
    EXPECT_EQ(at6k.durationMs(), 600);
    EXPECT_GT(correlationAt(slow, at6k.samples, 0), 0.95);
    // The same bytes taken as 8000 Hz are the same samples, played faster.
    const PcmAudio at8k = decodeVoxFile(path);
    EXPECT_EQ(at8k.samples, at6k.samples);
    EXPECT_EQ(at8k.durationMs(), 450);
}

TEST(VoxDecoderTest, BadFilesDecodeAsWhatTheyAreOrFailClearly)
{
    TestWorkstation ws;
    // Empty: no sound at all. Not audio: noise of its length, never a crash.
    TestWorkstation::writeFile(ws.root() + u"empty.vox", {});
    EXPECT_TRUE(decodeVoxFile(ws.root() + u"empty.vox").samples.isEmpty());
    TestWorkstation::writeFile(ws.root() + u"text.vox", "This is not a recording.\r\n");
    EXPECT_EQ(decodeVoxFile(ws.root() + u"text.vox").samples.size(), 52);
    QByteArray noise(3001, '\0');
    QRandomGenerator rng(7);
    for (char &c : noise)
        c = char(rng.bounded(256));
    EXPECT_EQ(decodeVoxBytes(noise).samples.size(), 6002);

    // Missing, a folder, or too large: an error that names the problem.
    const modVNQRN::Error gone = thrownError([&] { decodeVoxFile(ws.root() + u"gone.vox"); });
    EXPECT_EQ(gone.number(), modVNQRN::errFileNotFound);
    EXPECT_TRUE(gone.description().contains(u"gone.vox")) << qPrintable(gone.description());
    QDir().mkpath(ws.root() + u"folder.vox");
    EXPECT_EQ(thrownError([&] { decodeVoxFile(ws.root() + u"folder.vox"); }).number(),
              modVNQRN::errPathFileAccess);
    QFile huge(ws.root() + u"huge.vox");
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly) && huge.resize(kMaxVoxBytes + 1));
    huge.close();
    EXPECT_EQ(thrownError([&] { decodeVoxFile(huge.fileName()); }).number(),
              modVNQRN::errOutOfMemory);

    // Writing where it cannot leaves nothing behind.
    const QString nowhere = ws.root() + u"missing/folder/N1.vox";
    EXPECT_EQ(thrownError([&] { writeVoxFile(nowhere, speechLikeMessage(100)); }).number(),
              modVNQRN::errPathFileAccess);
    EXPECT_FALSE(QFile::exists(nowhere));
}

TEST(VoxDecoderTest, RateSettingIsSixThousandOnlyWhenItSaysSo)
{
    TestWorkstation ws;
    const QString ini = ws.root() + u"QelLocal.ini";
    EXPECT_EQ(voxRateSetting(ini), kVoxRate8k); // no file at all
    const std::pair<const char *, int> rows[] = {
        {"[voiceboard]\nvoxrate = 6000 \n", kVoxRate6k},
        {"[VoiceBoard]\nVoxRate=7000\n", kVoxRate8k},
        {"[VoiceBoard]\nVoxRate=fast\n", kVoxRate8k},
        {"[Messages]\nVoxRate=6000\n", kVoxRate8k},
    };
    for (const auto &[body, rate] : rows) {
        TestWorkstation::writeFile(ini, body);
        EXPECT_EQ(voxRateSetting(ini), rate) << body;
    }
}
