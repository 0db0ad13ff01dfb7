#include "telephony/vox_decoder.h"
#include "telephony/vox_file_stream.h"

#include "signal_match.h"
#include "support/test_environment.h"
#include "support/thrown_error.h"
#include "test_message.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
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

// Every sample depends on all before it and on nothing after: a file cut
// short decodes to the very start of the whole decode, its last sample too.
TEST(VoxDecoderTest, AFileCutShortDecodesToTheStartOfTheWholeToItsLastSample)
{
    const QByteArray vox = encodeVox(speechLikeMessage(100));
    const QVector<qint16> whole = decodeVoxBytes(vox).samples;
    for (const qsizetype bytes : {qsizetype(1), qsizetype(7), vox.size() - 1}) {
        const QVector<qint16> part = decodeVoxBytes(vox.left(bytes)).samples;
        ASSERT_EQ(part.size(), bytes * 2) << bytes;
        EXPECT_EQ(part, whole.mid(0, bytes * 2)) << bytes;
    }
    const QVector<qint16> longer = decodeVoxBytes(vox + vox.left(4)).samples;
    EXPECT_EQ(longer.mid(0, whole.size()), whole);
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

// The sound card decodes as it plays: piece by piece, whatever the size of
// the pieces, the stream must give exactly the samples of the whole-file
// decode, the last one included.
TEST(VoxFileStreamTest, PiecesAddUpToTheWholeDecodeToTheLastSample)
{
    TestWorkstation ws;
    QByteArray noise(12345, '\0');
    QRandomGenerator rng(11);
    for (char &c : noise)
        c = char(rng.bounded(256));
    const std::pair<const char *, QByteArray> files[] = {
        {"one byte", QByteArray(1, '\x7f')},
        {"speech and an odd byte", encodeVox(speechLikeMessage(1500)) + '\x93'},
        {"noise of an odd length", noise},
    };
    for (const auto &[what, bytes] : files) {
        const QString path = ws.root() + u"N000000001.vox";
        TestWorkstation::writeFile(path, bytes);
        const QVector<qint16> whole = decodeVoxBytes(bytes).samples;
        for (const qint64 piece : {qint64(1), qint64(3), qint64(4096), qint64(1) << 20}) {
            SCOPED_TRACE(testing::Message() << what << ", pieces of " << piece);
            VoxFileStream stream;
            stream.open(path);
            EXPECT_EQ(stream.frames(), bytes.size() * 2);
            QVector<qint16> got;
            QVector<qint16> buffer(qsizetype(std::min<qint64>(piece, 1 << 16)));
            while (const qint64 n = stream.read(buffer.data(), buffer.size()))
                got.append(buffer.mid(0, qsizetype(n)));
            EXPECT_TRUE(stream.atEnd());
            EXPECT_EQ(stream.read(buffer.data(), buffer.size()), 0);
            ASSERT_EQ(got.size(), whole.size());
            EXPECT_EQ(got.last(), whole.last());
            EXPECT_EQ(got, whole);
        }
    }
}

// A resume decodes up to its second (every ADPCM sample depends on all
// before it) and goes on with the very samples the whole decode has there.
TEST(VoxFileStreamTest, SkipLandsOnTheSampleTheWholeDecodeHasThere)
{
    TestWorkstation ws;
    const QString path = ws.root() + u"N000000001.vox";
    writeVoxFile(path, speechLikeMessage(3000)); // 3 s at 8000 Hz, 4 s at 6000 Hz
    for (const int rate : {kVoxRate8k, kVoxRate6k}) {
        const QVector<qint16> whole = decodeVoxFile(path, rate).samples;
        for (const qint64 seconds : {0, 1, 2, 5}) {
            SCOPED_TRACE(testing::Message() << rate << " Hz, from second " << seconds);
            VoxFileStream stream;
            stream.open(path, rate);
            const qint64 skipped = stream.skip(seconds * rate);
            EXPECT_EQ(skipped, std::min<qint64>(seconds * rate, whole.size()));
            EXPECT_EQ(stream.position(), skipped);
            QVector<qint16> rest(whole.size());
            rest.resize(qsizetype(stream.read(rest.data(), rest.size())));
            ASSERT_EQ(rest.size(), whole.size() - skipped);
            // Qt compares two empty lists with a null memcmp.
            if (!rest.isEmpty()) {
                EXPECT_EQ(rest, whole.mid(qsizetype(skipped)));
            }
        }
    }
}

TEST(VoxFileStreamTest, BadFilesFailOnOpenAndAFileCutShortEndsWhereItsBytesEnd)
{
    TestWorkstation ws;
    VoxFileStream stream;
    TestWorkstation::writeFile(ws.root() + u"empty.vox", {});
    stream.open(ws.root() + u"empty.vox");
    qint16 sample = 0;
    EXPECT_EQ(stream.frames(), 0);
    EXPECT_EQ(stream.read(&sample, 1), 0);

    QDir().mkpath(ws.root() + u"folder.vox");
    QFile huge(ws.root() + u"huge.vox");
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly) && huge.resize(kMaxVoxBytes + 1));
    huge.close();
    const std::pair<QString, qint32> rows[] = {
        {ws.root() + u"gone.vox", modVNQRN::errFileNotFound},
        {ws.root() + u"folder.vox", modVNQRN::errPathFileAccess},
        {huge.fileName(), modVNQRN::errOutOfMemory},
    };
    for (const auto &[path, number] : rows) {
        const modVNQRN::Error e = thrownError([&] { stream.open(path); });
        EXPECT_EQ(e.number(), number) << qPrintable(path);
        EXPECT_TRUE(e.description().contains(QFileInfo(path).fileName())) << qPrintable(path);
        EXPECT_FALSE(stream.isOpen());
    }

    // Cut short while it is read: the stream ends early, without an error.
    const QString path = ws.root() + u"N000000001.vox";
    writeVoxFile(path, speechLikeMessage(20000));
    stream.open(path);
    QVector<qint16> buffer(100);
    EXPECT_EQ(stream.read(buffer.data(), buffer.size()), 100);
    QFile(path).resize(1000);
    qint64 total = 100;
    while (const qint64 n = stream.read(buffer.data(), buffer.size()))
        total += n;
    EXPECT_LT(total, 80000); // what was read ahead before the cut, at most
    EXPECT_TRUE(stream.atEnd());
}
