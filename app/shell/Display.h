// Whether a window can be shown: an X or Wayland display, or a Qt platform chosen by hand (such
// as "offscreen"). The tray application and demo windows both ask before making a QApplication.
#pragma once

#include <cstdlib>

namespace vantrel {

inline bool displayAvailable() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') {
            return true;
        }
    }
    return false;
}

} // namespace vantrel
