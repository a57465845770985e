// The floating advisor panel: a frameless, always-on-top tool window that takes no focus, shown
// on every workspace in the top-right corner of the primary screen's available area, 12 px in
// (under Wayland, where the compositor puts it).
// One panel, made at the first show and reused; each show puts a fresh AdvisorView in it, with
// "Don’t Allow" and "Allow" while the prompt can be answered here.
#pragma once

#include "app/engine/Seams.h"

#include <functional>
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

    // How the prompt is answered from the panel. `available` says whether it can be, now.
    struct Answers {
        std::function<bool()> available;
        std::function<void()> allow;
        std::function<void()> refuse;
    };
    // Gives the answers (the controller is made before whoever answers), and shows or hides the
    // buttons of a view already shown as `available` says.
    void setAnswers(Answers answers);
    // Shows or hides the buttons of the current view as `available` says now; for the answerer's
    // changes while the panel is up.
    void updateAnswers();

    void show(const TrustRequest& request) override;
    // Hides the panel; it is kept for the next show.
    void hide() override;
    // Sizes the panel to its content and puts its top-right corner 12 px in from the top-right
    // corner of the primary screen's available area; without a screen, or where the compositor
    // places the windows (Wayland), only the size changes.
    void place();

    // For tests: the panel (none before the first show) and the view in it.
    QWidget* panel() const { return panel_.get(); }
    AdvisorView* view() const;

  private:
    const Clock& clock_;
    Answers answers_;
    std::unique_ptr<QWidget> panel_;
    QPointer<AdvisorView> view_;
    // Actions of the views hold this weakly, so they do nothing once the controller is gone.
    std::shared_ptr<AdvisorWindowController*> self_;
};

} // namespace vantrel::ui
