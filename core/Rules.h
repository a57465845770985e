// The fixed thresholds of the two behavioural detections, keystroke injection and network
// bursts, and the predicates that apply them. The Monitor measures; these decide.
#pragma once

namespace vantrel::Rules {

inline constexpr double injectionKeysPerSecond = 20;          // key presses per second
inline constexpr double injectionWindow = 1.5;                // seconds
inline constexpr double newKeyboardGrace = 600;               // seconds
inline constexpr double networkBurstBytesPerSecond = 2000000; // bytes per second
inline constexpr double networkWindow = 10;                   // seconds

// Whether `keysInWindow` presses within `injectionWindow` are faster than a person types, for
// a keyboard first seen `keyboardAge` seconds ago. Built-in and older keyboards are not judged.
bool isInjection(double keysInWindow, double keyboardAge, bool builtIn);

bool isNetworkBurst(double bytesPerSecond);

} // namespace vantrel::Rules
