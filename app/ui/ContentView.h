// The window behind the tray icon, in its simple layout (380 px: verdict header, advisor, one
// row per device worst first, settings menu) or its developer layout (460 px: review header,
// cards, checkbox footer). Redrawn from the Monitor on every change, only where the change shows:
// the rows and cards of what stayed the same are kept; it keeps none of the Monitor's data.
#pragma once

#include "app/engine/Changes.h"
#include "app/ui/SimpleBody.h"

#include <functional>
#include <optional>

#include <QWidget>

class QScrollArea;
class QVBoxLayout;

namespace vantrel {
class Monitor;
}

namespace vantrel::ui {

class ContentView final : public QWidget {
  public:
    static constexpr int simpleWidth = 380;
    static constexpr int developerWidth = 460;
    static constexpr int simpleBodyLimit = 560;
    static constexpr int developerBodyLimit = 580;

    // What the window needs beyond the Monitor: the keep-alive agent, quitting and the system
    // information window. Any of them may be empty. The two keep-alive hooks run a tool, so they
    // are called on a thread of Qt's global pool, never on the main thread.
    struct Hooks {
        std::function<bool()> keepAliveEnabled;
        std::function<bool(bool)> setKeepAlive;
        std::function<void()> quit;
        std::function<void()> systemInformation;
    };
    // `developerOverride` shows the developer layout without touching the stored preference;
    // `expandFlagged` opens the first device row unfolded (both for demo windows). The Monitor
    // must outlive the view.
    ContentView(Monitor& monitor, Hooks hooks, bool developerOverride = false,
                bool expandFlagged = false, QWidget* parent = nullptr);

    bool developerLayout() const;
    // Rebuilds header, body and footer from the Monitor now. Changes while the view is hidden
    // or a menu of it is open are drawn when it shows again or the menu closes.
    void redraw();
    // Rebuilds only what the changes noted since the last draw touched.
    void redrawChanged();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    QWidget* simpleHeader();
    QWidget* developerHeader();
    QWidget* simpleBody();
    QWidget* simpleFooter();
    QWidget* developerFooter();
    // Turns keep-alive on or off (none: leaves it) off the main thread, then shows what the
    // agent reports.
    void setKeepRunning(std::optional<bool> on);
    // Sizes the body to its content within the layout's width and height limit.
    void fitBody();
    // Puts `body` in the scroll area, or keeps it there when it is already, sized to its content.
    void setBody(QWidget* body, bool developer);
    // The body brought up to the Monitor after `changes`: the one shown, refreshed in place, or
    // a new one where that cannot be.
    QWidget* refreshedBody(Changes changes, bool developer);
    // Forgets the unfolded rows of devices gone.
    void dropGoneRows();

    Monitor& monitor_;
    Hooks hooks_;
    bool developerOverride_;
    bool keepRunning_ = false;
    Changes pending_; // what changed since the last draw
    bool drawnDeveloper_ = false;
    Unfolded unfolded_; // the unfolded rows, while their devices stay
    QWidget* header_ = nullptr;
    QScrollArea* scroll_ = nullptr;
    QWidget* footer_ = nullptr;
    QVBoxLayout* layout_;
};

} // namespace vantrel::ui
