// The trust score as a ring gauge: a faint track, an arc from the top running clockwise over
// score/100 of the circle with round ends, and the score in bold tabular digits, all in the
// level's colour. Its accessible name is "Trust score {score} out of 100".
#pragma once

#include "core/Trust.h"

#include <QWidget>

namespace vantrel::ui {

class ScoreBadge final : public QWidget {
  public:
    ScoreBadge(const TrustScore& trust, double size, QWidget* parent = nullptr);
    int score() const { return score_; }
    QColor color() const;
    // The share of the circle the gauge covers: score / 100.
    double fraction() const { return score_ / 100.0; }
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    int score_;
    TrustScore::Level level_;
    double size_;
};

} // namespace vantrel::ui
