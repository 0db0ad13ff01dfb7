#pragma once

/// The control's display states.
enum DisplayState : int {
    dsNewMessages = 1,   ///< the folder holds at least one new message
    dsNoNewMessages = 2, ///< messages, none of them new
    dsNoMessages = 3,    ///< no messages
    dsPlaying = 4,       ///< a message is playing
    dsPaused = 5,        ///< playback paused
    dsConnecting = 6,    ///< calling the operator's telephone
    dsNoDevice = 7,      ///< the chosen playback device is not installed
};
