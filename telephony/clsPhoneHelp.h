#pragma once

#include "voice_bocx.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

namespace modVNQRN
{
class Error;
}

/// The telephony helper: owns one voice board (created by name from the
/// local settings, see voice_board_registry.h) and gives the control its
/// operations on it: call the operator's telephone on the message port or
/// open the sound card, play, pause, stop, beep, record, collect digits,
/// wait for the line to go idle, and hang up. Every step is traced in the
/// port activity log "Port<n>.txt" of the local folder.
///
/// Every operation but ValidateInput does nothing while no route is open.
/// Operations trap their failures: when the board reports that the far end
/// has gone (CallStatus 109) the route is closed silently (DisconnectCall),
/// any other failure is reported through ReportError with the context
/// "VN-PHoneHelp"; the operation then returns false or empty text.
///
/// Blocking operations and waits keep the event loop running, so clicks
/// (StopMsg, PauseMsg) and the board's hang-up arrive while they run. The
/// helper may be deleted meanwhile (its owner went away): the operation then
/// returns at once and touches nothing of it.
class clsPhoneHelp : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool ActionStopped READ ActionStopped WRITE setActionStopped)
    Q_PROPERTY(bool SoundCardIsInstalled READ SoundCardIsInstalled CONSTANT)
    Q_PROPERTY(bool VoiceBoardIsInstalled READ VoiceBoardIsInstalled CONSTANT)

public:
    /// Reads the telephony settings from gsLocalIni, creates the voice board
    /// and detects the voice board and the wave device. Throws Error when a
    /// setting is out of range or the board cannot be queried.
    explicit clsPhoneHelp(QObject *parent = nullptr);
    /// Hangs up a call still up and releases the board; no setting is
    /// written and no event is raised.
    ~clsPhoneHelp() override;

    /// True once StopMsg has stopped the current action; RecordMsg clears it.
    bool ActionStopped() const { return mblnActionStopped; }
    void setActionStopped(bool blnStopped) { mblnActionStopped = blnStopped; }
    bool SoundCardIsInstalled() const { return mblnSoundCard; }
    bool VoiceBoardIsInstalled() const { return mblnVoiceBoard; }

    /// Calls the operator's telephone on the message port for `ProgramName`,
    /// claiming the line in the "MsgPortUsage" entry. True when the call is
    /// up or a route was already open. Shows a box when the name is empty,
    /// the line is held by a program, or the call is not answered.
    bool ConnectPhone(const QString &ProgramName);
    /// Routes playback to the wave device; true on success.
    bool ConnectSoundCard();
    /// Hangs up, frees the line, deletes `filepath` when it names a file,
    /// and raises CallerHangup. Nothing happens while no route is open.
    void DisconnectCall(const QString &filepath = QString());
    /// Waits until the line is idle (at most 30 seconds, then a box).
    void WaitForIdleState();

    /// Plays `destFile` over the telephone after one beep (two when its
    /// first character is "N" or "n"), from `skipsecs` seconds; with
    /// `skipsecs` 0 it is first replaced by a copy of `sourceFile` (when
    /// given). Returns at the end, a key of `stoptones`, or a stop/pause.
    void PlayWithVoiceBoard(const QString &destFile, const QString &sourceFile = QString(),
                            const QString &stoptones = QString(), qint32 skipsecs = 0,
                            qint32 fileFormat = 0);
    /// Plays `destFile` on the sound card, always from its beginning: a
    /// positive `skipsecs` is set to 0 in the caller's variable.
    void PlayWithSoundCard(const QString &destFile, const QString &sourceFile, qint32 &skipsecs,
                           qint32 fileFormat = 0);
    void PlayWithSoundCard(const QString &destFile, const QString &sourceFile = QString());
    /// Why the last PlayWithVoiceBoard or PlayWithSoundCard did not play its
    /// file (the failure's description); empty when it played to its end, a
    /// stop key, a stop or a pause, or when the far end hung up.
    const QString &PlayFailure() const { return mstrPlayFailure; }
    /// With `byCaller` set, a failed play is written to the error log but
    /// not shown: the caller tells the operator which message failed.
    void setPlayFailureShownByCaller(bool byCaller) { mblnPlayFailureByCaller = byCaller; }
    /// Beeps `numbeeps` times (one long beep for 1, none for 0 or less).
    void PlayTone(qint32 numbeeps);
    /// Whether PlayWithVoiceBoard or PlayWithSoundCard is playing its file
    /// now (not during the beeps before it).
    bool Playing() const { return mblnPlaying; }
    /// The whole seconds the current play has played so far (the last play's
    /// once it has ended), without the seconds skipped; 0 with no route.
    qint32 PlayedSeconds() const;
    /// Stops the current play or recording and sets ActionStopped.
    void StopMsg();
    /// Stops the current play and returns the whole seconds it played, as
    /// text: added to the seconds skipped, the point to resume from.
    QString PauseMsg();
    /// Plays the greeting, then records into `recordfile` and copies it to
    /// `serverfile`. False when stopped during the greeting or nothing was
    /// recorded ("Unable to complete recording").
    bool RecordMsg(const QString &recordfile, const QString &serverfile = QString());
    /// Plays `prompt` and returns the keys pressed (up to `numdigits`, a
    /// final "#" removed), or empty text for a rejected answer. `stoptones`
    /// is not used.
    QString GetDigits(const QString &prompt, qint32 numdigits,
                      const QString &stoptones = QString());
    /// Removes a final "#" from `s1` (two characters or more). Returns `s1`,
    /// or empty text when it still holds a "#" or holds a "*".
    QString ValidateInput(QString &s1);

Q_SIGNALS:
    /// The call on the message line has been hung up (by either end).
    void CallerHangup();

private:
    /// Whether the helper still exists after a call that ran the event loop.
    using Alive = QPointer<clsPhoneHelp>;

    void DetectDevices();
    void WritePortLog(const QString &text);
    void WaitSeconds(qint32 seconds);
    void mVoiceCtl_CallerHangup();

    // The failure rule: a gone far end closes the route, anything else is reported.
    void failedWithHangupCheck(const modVNQRN::Error &error);
    // A play's failure: kept for PlayFailure(), then logged or reported.
    void playFailed(const modVNQRN::Error &error, bool checkHangup);
    void copyForFreshStart(const QString &destFile, const QString &sourceFile);

    std::unique_ptr<VoiceBocxLib::VoiceBocx> mVoiceCtl;
    bool mblnConnected = false;
    bool mblnPlaying = false;
    bool mblnActionStopped = false;
    bool mblnDisconnectOnHangup = false;
    bool mblnPortLog = false;
    bool mblnVoiceBoard = false;
    bool mblnSoundCard = false;
    bool mblnLocalVox = false;
    qint32 mlngConnectAck = 0;
    qint32 mlngRingWait = 0;
    qint32 mlngKeysTimeOut = 0;
    qint32 mlngAnsPlayDelay = 0;
    qint32 mlngMaxRecordTime = 0;
    qint32 mlngSilenceTime = 0;
    qint32 mlngMsgPort = 0;
    QString mstrConnectString;
    QString mstrGreetingFile;
    QString mstrPlayFailure;
    bool mblnPlayFailureByCaller = false;
    // Nesting of DisconnectCall runs started by its own failure rule.
    int mDisconnectRetries = 0;
};
