// A plain stand-in for the tray window and the advisor panel: the devices with their trust
// scores and the latest events as text, redrawn whenever the Monitor changes.
#pragma once

#include "app/engine/Seams.h"

#include <QLabel>
#include <QWidget>

namespace vantrel {

class Monitor;

class PlaceholderWindow final : public QWidget {
  public:
    PlaceholderWindow();
    // Shows `monitor`'s state from now on; it must outlive the window.
    void attach(Monitor& monitor);

  private:
    void redraw();

    Monitor* monitor_ = nullptr;
    QLabel* text_;
};

class PlaceholderAdvisor final : public AdvisorPanel {
  public:
    PlaceholderAdvisor();
    void show(const TrustRequest& request) override;
    void hide() override;

  private:
    QLabel window_;
};

} // namespace vantrel
