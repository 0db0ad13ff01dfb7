#pragma once

#include "shared/error.h"

#include <QString>

#include <functional>
#include <source_location>

namespace VoiceBocxLib
{

/// The source that errors raised by a voice board carry.
inline constexpr char16_t kErrorSource[] = u"VoiceBocxLib";

/// Error numbers a voice board raises (docs/voice-board.md lists them).
enum VoiceBocxError : qint32 {
    vbErrNoDevice = 31001,        ///< "No voice device is present"
    vbErrNoTrunk = 31002,         ///< "No trunk channel is selected"
    vbErrFarEndGone = 31003,      ///< "The far end has hung up"
    vbErrNoCall = 31004,          ///< "No call is up on the trunk channel"
    vbErrFileOpen = 31005,        ///< "Cannot open the voice file"
    vbErrFileWrite = 31006,       ///< "Cannot write the voice file"
    vbErrOperationFailed = 31007, ///< "The voice operation failed"
    vbErrBusy = 31008,            ///< "The channel is busy with another operation"
};

/// The description of a voice board error number.
QString describeVoiceBocxError(qint32 number);

/// An error raised by a voice board, with its customary description.
modVNQRN::Error voiceBocxError(qint32 number,
                               std::source_location where = std::source_location::current());

/// Device kinds of QueryDevice() and FindChannel().
enum DeviceKind : qint32 {
    kVoiceDevice = 1002, ///< the voice board (its trunk channels)
    kWaveDevice = 2004,  ///< the workstation's wave device (sound card)
};

/// Values of ChannelState().
enum ChannelStateCode : qint32 {
    kChannelDialling = 1,
    kChannelPlaying = 2,
    kChannelIdle = 3,
    kChannelRecording = 4,
    kChannelDigits = 5,
    kChannelTone = 6,
};

/// Values of CallStatus().
enum CallStatusCode : qint32 {
    kCallAnswered = 107, ///< the call was answered
    kCallBusy = 108,     ///< the far end was busy; the line is kept
    kFarEndGone = 109,   ///< the far end hung up during the call
    kCallNoAnswer = 110, ///< nobody answered within the ring wait; the line is kept
    kCallFailed = 112,   ///< the call failed and the line must be released
};

/// Parameter codes of SetParameter().
enum ParameterCode : qint32 {
    kParamConnectAck = 226, ///< time to wait for the answer, in hundredths of a second
    kParamRingWait = 275,   ///< time to let the telephone ring, in hundredths of a second
};

/// The voice-board control: the trunk line (dialling, playing, recording,
/// tones, digits) and the wave device, behind one interface. Back ends are
/// created by name (voice_board_registry.h). Every failing operation throws
/// modVNQRN::Error with the source "VoiceBocxLib"; CallStatus() then tells
/// whether the far end is gone (kFarEndGone).
///
/// The blocking operations (Dial, PlayFile, PlayPrompt, RecordFile,
/// CollectDigits, GenerateTone) run a nested event loop while they wait, so
/// the host's clicks and the CallerHangup event arrive during them; StopVoice
/// makes a blocked PlayFile or RecordFile return.
class VoiceBocx
{
public:
    virtual ~VoiceBocx();

    /// Creation-time settings; a back end may ignore them.
    virtual void setInitValue(qint32) {}
    virtual void setInitSwitchA(bool) {}
    virtual void setInitSwitchB(bool) {}
    virtual void setLogLevel(qint32) {}

    /// Media routing: with AutoRouteMedia false, TrunkChannel -1 and a
    /// MediaChannel set, PlayFile, StopVoice and ElapsedSeconds use the wave device.
    virtual void setAutoRouteMedia(bool on) = 0;
    virtual void setMediaChannel(qint16 channel) = 0;

    /// The seconds the last PlayFile actually played, rounded down; the
    /// skipped seconds are not counted (while it plays: so far).
    virtual qint32 ElapsedSeconds() const = 0;
    /// kChannelIdle when no operation runs on the trunk channel.
    virtual qint32 ChannelState() const = 0;
    /// The trunk channel in use (the message port minus 1); -1 = no trunk.
    virtual qint32 TrunkChannel() const = 0;
    virtual void setTrunkChannel(qint32 channel) = 0;
    /// The outcome of the last call (CallStatusCode).
    virtual qint32 CallStatus() const = 0;

    /// Ends the current play or recording; the blocked call returns.
    virtual void StopVoice() = 0;
    /// Releases the trunk.
    virtual void HangUp() = 0;
    /// Waits for `count` keys, a "#" (kept in the result), or `timeoutSeconds`
    /// (0: no time-out); returns the keys pressed.
    virtual QString CollectDigits(qint32 count, qint32 timeoutSeconds = 0, qint16 flags = 0) = 0;
    /// The channel of a device kind (kWaveDevice); 0 when there is none.
    virtual qint32 FindChannel(qint32 kind) = 0;
    /// Non-zero when a device of the kind is present.
    virtual qint32 QueryDevice(qint32 kind) = 0;
    /// Calls `number` on the trunk channel and returns when the call is
    /// answered or has failed; the outcome is in CallStatus().
    virtual void Dial(const QString &number, bool wait = true) = 0;
    /// Plays a voice file from `skipSeconds` to its end, to a key of
    /// `stopTones`, or to StopVoice.
    virtual void PlayFile(const QString &path, qint32 format = 0, const QString &stopTones = {},
                          qint32 skipSeconds = 0) = 0;
    /// One beep of `frequency` Hz at `level` dB, `length` quarter seconds long.
    virtual void GenerateTone(qint32 frequency, qint32 level, qint32 length) = 0;
    /// Plays a prompt before CollectDigits; keys pressed meanwhile are kept.
    virtual void PlayPrompt(const QString &path) = 0;
    /// Records into `path` until `maxSeconds`, `silenceSeconds` of silence,
    /// or StopVoice.
    virtual void RecordFile(const QString &path, qint32 format = 0, qint32 maxSeconds = 0,
                            qint32 silenceSeconds = 0) = 0;
    virtual void SetParameter(qint32, qint32) {}
    virtual void SetCallOptions(qint32, qint32, qint32, qint32) {}

    /// The owner's handler of the CallerHangup event (the far end hung up).
    void setCallerHangupHandler(std::function<void()> handler);

protected:
    /// Raises CallerHangup to the owner.
    void raiseCallerHangup();

private:
    std::function<void()> m_callerHangup;
};

/// The wave-device half of a voice board: plays voice files through the
/// workstation's sound card. A board delegates to it when the media route is
/// selected.
class WaveDevice
{
public:
    virtual ~WaveDevice();
    /// Non-zero when the device is present (QueryDevice(kWaveDevice)).
    virtual qint32 deviceCount() const = 0;
    /// Its channel (FindChannel(kWaveDevice)); 0 when there is none.
    virtual qint32 channel() const = 0;
    /// Blocking play, as VoiceBocx::PlayFile without stop tones.
    virtual void play(const QString &path, qint32 format, qint32 skipSeconds) = 0;
    virtual void stop() = 0;
    virtual qint32 elapsedSeconds() const = 0;
    virtual bool playing() const = 0;
};

} // namespace VoiceBocxLib
