// Whether a window may choose where it opens on this desktop. Under Wayland the compositor
// places every window, so the windows open where it puts them instead of placing themselves.
#pragma once

namespace vantrel::ui {

// False under Wayland (and before a QGuiApplication exists); true elsewhere.
bool windowsPlaceThemselves();

} // namespace vantrel::ui
