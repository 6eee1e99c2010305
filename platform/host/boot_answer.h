// What a starting host tells the program that started it (`device boot`), on the pipe it was
// given with --ready-fd: one letter, followed for a refusal or a failure by the reason as text.
// The host closes the pipe once it has answered; a pipe that closes without a letter means the
// host ended before it was ready.
#pragma once

namespace ce::host::BootAnswer {

inline constexpr char kReady = 'R';    // the host accepts connections
inline constexpr char kLockHeld = 'A'; // another host holds the device root's lock
inline constexpr char kRefused = 'N';  // the device's profile or registry is damaged (reason)
inline constexpr char kFailed = 'F';   // the host could not start (reason)

} // namespace ce::host::BootAnswer
