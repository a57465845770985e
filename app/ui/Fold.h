// A part of a view that folds open and shut: its content keeps its full height and the fold shows
// as much of it as its own height allows. Opening and shutting a shown fold runs an ease-in-out
// of 0.15 s over that height; a hidden one changes at once. Nothing runs between the two.
#pragma once

#include <functional>

#include <QWidget>

class QPropertyAnimation;

namespace vantrel::ui {

class Fold final : public QWidget {
  public:
    static constexpr int durationMs = 150;

    // Takes `content`; shut, the fold is hidden and takes no room.
    Fold(QWidget* content, bool open, QWidget* parent = nullptr);
    bool isOpen() const { return open_; }
    void setOpen(bool open);
    // Runs at every step of the height while it changes, and once it has settled.
    void setOnStep(std::function<void()> onStep) { onStep_ = std::move(onStep); }
    // The animation of the maximum height; none before the first animated change.
    const QPropertyAnimation* animation() const { return animation_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    // The content's height at the width the fold's host lays it out at.
    int fullHeight() const;
    void settle();
    void step();

    QWidget* content_;
    bool open_;
    std::function<void()> onStep_;
    QPropertyAnimation* animation_ = nullptr;
};

} // namespace vantrel::ui
