// The advisor's content for one accessory prompt: the score ring, the verdict, the device's name,
// a summary and one line of advice, with "See more" unfolding the full reasoning and, where the
// prompt can be answered here, "Don’t Allow" and "Allow". Shown in the floating panel, at the top
// of the window, and in demo windows. 360 px wide, 356 in the simple window.
#pragma once

#include "core/Timestamp.h"
#include "core/Trust.h"
#include "core/TrustRequest.h"

#include <functional>
#include <optional>

#include <QWidget>

class QLabel;
class QPushButton;

namespace vantrel::ui {

class ScoreBadge;
class SymbolView;

class AdvisorView final : public QWidget {
  public:
    // The view's width in the floating panel, the developer cards and demo windows.
    static constexpr int panelWidth = 360;
    // Its width in the simple window: the 380 px window less the body's 12 px on either side.
    static constexpr int slotWidth = 356;

    // `now` is the time the score is computed for. With `onDismiss` a close button runs it;
    // `onResize` runs after every fold or unfold.
    AdvisorView(const TrustRequest& request, Timestamp now, bool expanded = false,
                std::function<void()> onDismiss = {}, std::function<void()> onResize = {},
                QWidget* parent = nullptr);

    // What the two answer buttons run.
    struct Answers {
        std::function<void()> allow;
        std::function<void()> refuse;
    };

    bool expanded() const { return expanded_; }
    // Flips `expanded` as the "See more"/"See less" button does.
    void toggle();

    // Paints the view's own background, a rounded rectangle (radius 16) in the window colour,
    // for when it stands alone in a translucent window. Off by default: inside another window
    // the view lies on that window's background.
    void setRoundedBackground(bool on);

    // Shows "Don’t Allow" and "Allow" at the bottom right, running `answers`, or (none) hides
    // them; hidden until first given. The default button follows the advice: "Allow" only for a
    // safe verdict, else "Don’t Allow".
    void setAnswers(std::optional<Answers> answers);
    bool answersShown() const;
    bool roundedBackground() const { return roundedBackground_; }

    // Makes the view `width` px wide (panelWidth until told).
    void setViewWidth(int width);

    // As wide as set and as high as the content needs at that width.
    QSize sizeHint() const override;

    // For tests and the window: the score shown and the parts as shown.
    const TrustScore& trust() const { return trust_; }
    SymbolView* shield() const { return shield_; }
    ScoreBadge* badge() const { return badge_; }
    QLabel* titleLabel() const { return title_; }
    QLabel* nameLabel() const { return name_; }
    QLabel* summaryLabel() const { return summary_; }
    QLabel* adviceLabel() const { return advice_; }
    QPushButton* moreButton() const { return more_; }
    QPushButton* closeButton() const { return close_; }
    // The answer buttons; none until answers are first given.
    QPushButton* allowButton() const { return allow_; }
    QPushButton* refuseButton() const { return refuse_; }
    // The divider and the details below it; hidden while folded.
    QWidget* details() const { return details_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    TrustScore trust_;
    int width_ = panelWidth;
    bool expanded_;
    bool roundedBackground_ = false;
    std::function<void()> onResize_;
    SymbolView* shield_;
    ScoreBadge* badge_;
    QLabel* title_;
    QLabel* name_;
    QLabel* summary_;
    QLabel* advice_;
    QPushButton* more_;
    QPushButton* close_ = nullptr;
    QWidget* answerRow_ = nullptr; // "Don’t Allow" and "Allow", made at the first answers
    QPushButton* refuse_ = nullptr;
    QPushButton* allow_ = nullptr;
    Answers answers_;
    QWidget* details_; // the divider and TrustDetails, shown while expanded
};

} // namespace vantrel::ui
