// Playback, beeps, stop and pause, recording, and digits.

#include "clsPhoneHelp.h"
#include "vox_decoder.h"

#include "shared/error.h"
#include "shared/error_log.h"
#include "shared/prompter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>

using namespace modVNQRN;
using namespace VoiceBocxLib;

namespace
{

constexpr qint32 kToneFrequency = 800;
constexpr qint32 kToneLevel = -20;
constexpr qint32 kRecordFormat = 3;

void removeIfPresent(const QString &path)
{
    if (QFileInfo(path).isFile() && !QFile::remove(path))
        throw Error(errPermissionDenied);
}

// Copies over an existing target, as the product's file copies always do.
// The copy reads from the one handle it opened: on a shared folder another
// workstation may rename the message at any moment, and a message renamed
// after it was opened still plays in full; one gone before is a missing
// source (53), not a failed copy.
void copyVoiceFile(const QString &from, const QString &to)
{
    if (from.isEmpty() || !QFileInfo(from).isFile())
        throw Error(errFileNotFound);
    if (to.isEmpty())
        throw Error(errBadFileName);
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly))
        throw Error(errno == ENOENT ? errFileNotFound : fileErrorNumber(errno));
    removeIfPresent(to);
    QFile target(to);
    if (!target.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw Error(fileErrorNumber(errno, errno == ENOENT ? errPathNotFound : errPathFileAccess));
    bool copied = true;
    QByteArray block;
    while (copied && !(block = source.read(64 * 1024)).isEmpty())
        copied = target.write(block) == block.size();
    if (!copied || source.error() != QFileDevice::NoError || !target.flush()) {
        // The reason of the failure before the clean-up's calls replace it.
        // A full disk is told apart: the operator can do something about it.
        const int err = errno;
        const bool full = target.error() == QFileDevice::ResourceError;
        const bool readFailed = source.error() != QFileDevice::NoError;
        const qint32 number = full         ? errDiskFull
                              : readFailed ? errPathFileAccess
                                           : fileErrorNumber(err);
        const QString why = readFailed ? source.errorString() : target.errorString();
        target.close();
        // Only a partial copy of our own goes; whatever else the name points
        // at (a device, say) is left alone.
        if (QFileInfo(to).isFile())
            QFile::remove(to);
        throw Error(number, (number == errDiskFull ? QStringLiteral("Disk full while copying ")
                                                   : QStringLiteral("Cannot copy ")) +
                                QDir::toNativeSeparators(from) + QStringLiteral(" to ") +
                                QDir::toNativeSeparators(to) + QStringLiteral(": ") + why);
    }
}

} // namespace

void clsPhoneHelp::copyForFreshStart(const QString &destFile, const QString &sourceFile)
{
    // A message no route plays is refused before the working copy is
    // replaced or a byte is copied.
    checkVoxFileSize(sourceFile);
    removeIfPresent(destFile);
    copyVoiceFile(sourceFile, destFile);
}

void clsPhoneHelp::PlayWithVoiceBoard(const QString &destFile, const QString &sourceFile,
                                      const QString &stoptones, qint32 skipsecs, qint32 fileFormat)
{
    mstrPlayFailure.clear();
    if (!mblnConnected)
        return;
    const Alive alive(this);
    try {
        mblnDisconnectOnHangup = false;
        if (skipsecs == 0 && !sourceFile.isEmpty())
            copyForFreshStart(destFile, sourceFile);
        PlayTone(destFile.left(1).toUpper() == u"N" ? 2 : 1);
        // A hang-up during the beeps has closed the route: nothing to play into.
        if (alive && mblnConnected) {
            mblnDisconnectOnHangup = false;
            WritePortLog(u"PlayingFile=" + destFile);
            mblnPlaying = true;
            mVoiceCtl->PlayFile(destFile, fileFormat, stoptones, skipsecs);
            if (!alive)
                return;
            mblnPlaying = false;
            mblnDisconnectOnHangup = true;
        }
    } catch (...) {
        if (!alive)
            return;
        mblnPlaying = false;
        playFailed(currentError(), true);
    }
}

void clsPhoneHelp::PlayWithSoundCard(const QString &destFile, const QString &sourceFile,
                                     qint32 &skipsecs, qint32 fileFormat)
{
    mstrPlayFailure.clear();
    if (!mblnConnected)
        return;
    const Alive alive(this);
    try {
        if (skipsecs == 0 && !sourceFile.isEmpty())
            copyForFreshStart(destFile, sourceFile);
        if (skipsecs > 0)
            skipsecs = 0;
        WritePortLog(u"Playing file=" + destFile);
        mblnPlaying = true;
        mVoiceCtl->PlayFile(destFile, fileFormat, QString(), skipsecs);
        if (alive)
            mblnPlaying = false;
    } catch (...) {
        if (!alive)
            return;
        mblnPlaying = false;
        playFailed(currentError(), false);
    }
}

void clsPhoneHelp::playFailed(const Error &error, bool checkHangup)
{
    if (checkHangup && mVoiceCtl->CallStatus() == kFarEndGone) {
        DisconnectCall(QString());
        return;
    }
    mstrPlayFailure = error.description();
    if (mstrPlayFailure.isEmpty())
        mstrPlayFailure = describeError(error.number());
    if (mblnPlayFailureByCaller)
        WriteLog(ErrorMessage(error, QStringLiteral("VN-PHoneHelp")));
    else
        ReportError(error, QStringLiteral("VN-PHoneHelp"));
}

void clsPhoneHelp::PlayWithSoundCard(const QString &destFile, const QString &sourceFile)
{
    qint32 skipsecs = 0;
    PlayWithSoundCard(destFile, sourceFile, skipsecs);
}

void clsPhoneHelp::PlayTone(qint32 numbeeps)
{
    if (!mblnConnected)
        return;
    const Alive alive(this);
    try {
        mblnDisconnectOnHangup = false;
        if (numbeeps == 1) {
            mVoiceCtl->GenerateTone(kToneFrequency, kToneLevel, 2);
        } else {
            for (qint32 i = 0; i < numbeeps && alive; ++i) {
                mVoiceCtl->GenerateTone(kToneFrequency, kToneLevel, 1);
                QCoreApplication::processEvents();
            }
        }
        if (alive)
            mblnDisconnectOnHangup = true;
    } catch (...) {
        if (alive)
            failedWithHangupCheck(currentError());
    }
}

void clsPhoneHelp::StopMsg()
{
    if (!mblnConnected)
        return;
    try {
        mblnDisconnectOnHangup = true;
        mVoiceCtl->StopVoice();
        mblnActionStopped = true;
        mblnDisconnectOnHangup = false;
    } catch (...) {
        failedWithHangupCheck(currentError());
    }
}

qint32 clsPhoneHelp::PlayedSeconds() const
{
    if (!mblnConnected)
        return 0;
    try {
        return mVoiceCtl->ElapsedSeconds();
    } catch (...) {
        return 0;
    }
}

QString clsPhoneHelp::PauseMsg()
{
    if (!mblnConnected)
        return {};
    QString seconds;
    try {
        mblnDisconnectOnHangup = true;
        mVoiceCtl->StopVoice();
        seconds = QString::number(mVoiceCtl->ElapsedSeconds());
        mblnDisconnectOnHangup = false;
    } catch (...) {
        failedWithHangupCheck(currentError());
    }
    return seconds;
}

bool clsPhoneHelp::RecordMsg(const QString &recordfile, const QString &serverfile)
{
    if (!mblnConnected)
        return false;
    const Alive alive(this);
    try {
        mblnActionStopped = false;
        WritePortLog(u"Playing Greeting=" + mstrGreetingFile);
        mVoiceCtl->PlayFile(mstrGreetingFile, kRecordFormat);
        if (!alive || mblnActionStopped)
            return false;
        removeIfPresent(recordfile);
        WritePortLog(u"Recording Message= " + recordfile);
        mVoiceCtl->RecordFile(recordfile, kRecordFormat, mlngMaxRecordTime, mlngSilenceTime);
        if (!alive)
            return false;
        if (!QFileInfo(recordfile).isFile()) {
            MsgBox(QStringLiteral("Unable to complete recording"), MsgBoxIcon::Information);
            return false;
        }
        copyVoiceFile(recordfile, serverfile);
        mblnDisconnectOnHangup = true;
        return true;
    } catch (...) {
        if (alive)
            failedWithHangupCheck(currentError());
        return false;
    }
}

QString clsPhoneHelp::GetDigits(const QString &prompt, qint32 numdigits, const QString &)
{
    if (!mblnConnected)
        return {};
    QString response;
    const Alive alive(this);
    try {
        mblnDisconnectOnHangup = false;
        WritePortLog(u"Play File=" + prompt);
        mVoiceCtl->PlayPrompt(prompt);
        if (!alive)
            return {};
        response = mVoiceCtl->CollectDigits(numdigits, mlngKeysTimeOut, 0);
        if (!alive)
            return {};
        response = ValidateInput(response);
        WritePortLog(u"Response=" + response);
        mblnDisconnectOnHangup = true;
    } catch (...) {
        if (!alive)
            return {};
        failedWithHangupCheck(currentError());
    }
    return response;
}

QString clsPhoneHelp::ValidateInput(QString &s1)
{
    if (s1.size() >= 2 && s1.endsWith(u'#'))
        s1.chop(1);
    // A "#" inside is a mistyped answer; "*" is the caller's cancel key.
    if (s1.contains(u'#') || s1.contains(u'*'))
        return {};
    return s1;
}
