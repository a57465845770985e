// The advisor panel: one translucent, frameless window that floats above the others without
// taking focus, holds the current AdvisorView and keeps itself in the screen's top-right corner
// where the desktop lets it.
#include "app/ui/AdvisorWindowController.h"

#include "app/ui/AdvisorView.h"
#include "app/ui/AllWorkspaces.h"
#include "app/ui/Placement.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>
#include <QWindow>

namespace vantrel::ui {
namespace {

// The window itself. It must never take the focus away from the accessory prompt the user is
// about to answer: it is a tool window that accepts no focus and is shown without activation.
// Dragging its background (any part of the view that does not handle the mouse) moves it.
// Once shown it asks the window manager to keep it on every workspace.
class PanelWindow final : public QWidget {
  public:
    PanelWindow()
        : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                               Qt::WindowDoesNotAcceptFocus) {
        setAttribute(Qt::WA_ShowWithoutActivating);
        setAttribute(Qt::WA_TranslucentBackground);
        // Closing it (from the window manager) must not end the tray application.
        setAttribute(Qt::WA_QuitOnClose, false);
        setFocusPolicy(Qt::NoFocus);
        setWindowTitle(QStringLiteral("Vantrel"));
    }

  protected:
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() != Qt::LeftButton) {
            QWidget::mousePressEvent(event);
            return;
        }
        event->accept();
        // The window manager moves it where it can (and must, on Wayland); else it moves itself.
        dragging_ = windowHandle() == nullptr || !windowHandle()->startSystemMove();
        grabOffset_ = event->globalPosition().toPoint() - pos();
    }

    void mouseMoveEvent(QMouseEvent* event) override {
        if (!dragging_ || !(event->buttons() & Qt::LeftButton)) {
            QWidget::mouseMoveEvent(event);
            return;
        }
        event->accept();
        move(event->globalPosition().toPoint() - grabOffset_);
    }

    void mouseReleaseEvent(QMouseEvent* event) override {
        dragging_ = false;
        QWidget::mouseReleaseEvent(event);
    }

  private:
    bool dragging_ = false;
    QPoint grabOffset_;
};

} // namespace

AdvisorWindowController::AdvisorWindowController(const Clock& clock)
    : clock_(clock), self_(std::make_shared<AdvisorWindowController*>(this)) {}

AdvisorWindowController::~AdvisorWindowController() = default;

void AdvisorWindowController::setAnswers(Answers answers) {
    answers_ = std::move(answers);
    updateAnswers();
}

void AdvisorWindowController::updateAnswers() {
    if (!view_) {
        return;
    }
    if (!answers_.available || !answers_.available()) {
        view_->setAnswers(std::nullopt);
        return;
    }
    // The buttons reach the answers through the controller, so that they do nothing once it is
    // gone and always run the answers given last.
    const std::weak_ptr<AdvisorWindowController*> weak = self_;
    const auto answer = [weak](std::function<void()> Answers::*run) {
        return [weak, run] {
            if (const auto self = weak.lock()) {
                if (const std::function<void()> answer = (*self)->answers_.*run) {
                    answer();
                }
            }
        };
    };
    view_->setAnswers(AdvisorView::Answers{answer(&Answers::allow), answer(&Answers::refuse)});
}

void AdvisorWindowController::show(const TrustRequest& request) {
    const std::weak_ptr<AdvisorWindowController*> weak = self_;
    auto dismiss = [weak] {
        if (const auto self = weak.lock()) {
            (*self)->hide();
        }
    };
    // Queued, so that the view's layout has taken the new state before the panel is measured.
    auto refit = [weak] {
        QTimer::singleShot(0, [weak] {
            if (const auto self = weak.lock()) {
                (*self)->place();
            }
        });
    };
    auto* view = new AdvisorView(request, clock_.now(), false, dismiss, refit);
    view->setRoundedBackground(true);

    if (!panel_) {
        panel_ = std::make_unique<PanelWindow>();
    }
    const bool wasVisible = panel_->isVisible();
    if (view_) {
        // Deleted later: this may run while the old view is still handling an event.
        AdvisorView* old = view_;
        old->hide();
        old->setParent(nullptr);
        old->deleteLater();
    }
    view->setParent(panel_.get());
    view->move(0, 0);
    view->show();
    view_ = view;
    updateAnswers();

    place();
    // Shown without activation, so the focus stays where the user is. Showing puts a hidden
    // panel in front; one already shown is brought to the front.
    panel_->show();
    if (wasVisible) {
        panel_->raise();
    } else {
        showOnAllWorkspaces(panel_.get());
    }
}

void AdvisorWindowController::hide() {
    if (panel_) {
        panel_->hide();
    }
}

void AdvisorWindowController::place() {
    if (!panel_ || !view_) {
        return;
    }
    const QSize size = view_->sizeHint();
    view_->setGeometry(QRect(QPoint(0, 0), size));
    // Where the compositor places the windows (Wayland), the panel opens where it is put.
    const QScreen* screen = windowsPlaceThemselves() ? QGuiApplication::primaryScreen() : nullptr;
    if (screen != nullptr) {
        const QRect area = screen->availableGeometry();
        panel_->setGeometry(
            QRect(QPoint(area.x() + area.width() - inset - size.width(), area.y() + inset), size));
    } else {
        panel_->resize(size);
    }
}

AdvisorView* AdvisorWindowController::view() const {
    return view_;
}

} // namespace vantrel::ui
