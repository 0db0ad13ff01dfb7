#pragma once

// The display states of the control, as the host-visible numbers that every
// part of the control passes to ShowState().
namespace VNOrvak
{

inline constexpr int dsNewMessages = 1;   ///< the folder holds at least one new message
inline constexpr int dsNoNewMessages = 2; ///< the folder holds messages, none of them new
inline constexpr int dsNoMessages = 3;    ///< the folder holds no messages
inline constexpr int dsPlaying = 4;       ///< a message is being played; the text is its name
inline constexpr int dsPaused = 5;        ///< playback paused
inline constexpr int dsConnecting = 6; ///< the line to the operator's telephone is being connected
inline constexpr int dsNoDevice = 7;   ///< the device chosen for playing is not installed

} // namespace VNOrvak
