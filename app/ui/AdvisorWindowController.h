// The floating advisor panel: a frameless, always-on-top tool window that takes no focus, shown
// on every workspace in the top-right corner of the primary screen's available area, 12 px in.
// One panel, made at the first show and reused; each show puts a fresh AdvisorView in it.
#pragma once

#include "app/engine/Seams.h"

#include <memory>

#include <QPointer>
#include <QWidget>

namespace vantrel::ui {

class AdvisorView;

class AdvisorWindowController final : public AdvisorPanel {
  public:
    // Space between the panel and the top and right edges of the screen's available area.
    static constexpr int inset = 12;

    // `clock` gives the time the scores are computed for; it must outlive the controller.
    explicit AdvisorWindowController(const Clock& clock);
    ~AdvisorWindowController() override;
    AdvisorWindowController(const AdvisorWindowController&) = delete;
    AdvisorWindowController& operator=(const AdvisorWindowController&) = delete;

    void show(const TrustRequest& request) override;
    // Hides the panel; it is kept for the next show.
    void hide() override;
    // Sizes the panel to its content and puts its top-right corner 12 px in from the top-right
    // corner of the primary screen's available area; without a screen only the size changes.
    void place();

    // For tests: the panel (none before the first show) and the view in it.
    QWidget* panel() const { return panel_.get(); }
    AdvisorView* view() const;

  private:
    const Clock& clock_;
    std::unique_ptr<QWidget> panel_;
    QPointer<AdvisorView> view_;
    // Actions of the views hold this weakly, so they do nothing once the controller is gone.
    std::shared_ptr<AdvisorWindowController*> self_;
};

} // namespace vantrel::ui
