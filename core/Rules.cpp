#include "core/Rules.h"

#include <cmath>

namespace vantrel::Rules {

bool isInjection(double keysInWindow, double keyboardAge, bool builtIn) {
    if (builtIn) {
        return false;
    }
    // A keyboard exactly at the end of its grace period is still judged; an age that is not a
    // number is not.
    if (std::isnan(keyboardAge) || keyboardAge > newKeyboardGrace) {
        return false;
    }
    // Comparisons with NaN are false, so an unknown count never alarms.
    return keysInWindow / injectionWindow >= injectionKeysPerSecond;
}

bool isNetworkBurst(double bytesPerSecond) {
    return bytesPerSecond >= networkBurstBytesPerSecond;
}

} // namespace vantrel::Rules
