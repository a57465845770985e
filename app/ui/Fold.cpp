// The fold: the content is laid out at the top at its full height and clipped by the fold's own
// height, which the animation lowers or raises through the maximum height; once settled the
// limit goes, so that a later change of width lays the content out afresh.
#include "app/ui/Fold.h"

#include <QEasingCurve>
#include <QLayout>
#include <QPropertyAnimation>

namespace vantrel::ui {

Fold::Fold(QWidget* content, bool open, QWidget* parent)
    : QWidget(parent), content_(content), open_(open) {
    content_->setParent(this);
    if (!open_) {
        hide();
    }
}

void Fold::setOpen(bool open) {
    if (open == open_) {
        return;
    }
    open_ = open;
    if (parentWidget() == nullptr || !parentWidget()->isVisible()) {
        setVisible(open_);
        settle();
        return;
    }
    if (animation_ == nullptr) {
        animation_ = new QPropertyAnimation(this, "maximumHeight", this);
        animation_->setDuration(durationMs);
        animation_->setEasingCurve(QEasingCurve::InOutQuad);
        connect(animation_, &QPropertyAnimation::valueChanged, this, [this] { step(); });
        connect(animation_, &QPropertyAnimation::finished, this, [this] { settle(); });
    }
    // A change while one runs turns back from where the height is now.
    const bool running = animation_->state() == QAbstractAnimation::Running;
    animation_->stop();
    const int from = running ? maximumHeight() : (isVisible() ? height() : 0);
    setMaximumHeight(from);
    show();
    animation_->setStartValue(from);
    animation_->setEndValue(open_ ? fullHeight() : 0);
    animation_->start();
}

void Fold::settle() {
    setMaximumHeight(QWIDGETSIZE_MAX);
    setVisible(open_);
    step();
}

void Fold::step() {
    if (onStep_) {
        onStep_();
    }
}

int Fold::fullHeight() const {
    const QLayout* host = parentWidget()->layout();
    return heightForWidth(host != nullptr ? host->contentsRect().width() : width());
}

QSize Fold::sizeHint() const {
    return content_->sizeHint();
}

QSize Fold::minimumSizeHint() const {
    // Any height down to none: the content is clipped, never squeezed.
    return {content_->minimumSizeHint().width(), 0};
}

int Fold::heightForWidth(int width) const {
    return content_->hasHeightForWidth() ? content_->heightForWidth(width)
                                         : content_->sizeHint().height();
}

void Fold::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    content_->setGeometry(0, 0, width(), heightForWidth(width()));
}

} // namespace vantrel::ui
