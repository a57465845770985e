// Asks the window manager to show a window on every workspace (virtual desktop). Only X11 has a
// way to ask; elsewhere, and without a window manager, it does nothing.
#pragma once

class QWidget;

namespace vantrel::ui {

// `window` must be a shown top-level window; call it after every show.
void showOnAllWorkspaces(QWidget* window);

} // namespace vantrel::ui
