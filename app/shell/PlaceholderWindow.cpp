#include "app/shell/PlaceholderWindow.h"

#include "app/engine/Monitor.h"

#include <algorithm>

#include <QApplication>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace vantrel {

PlaceholderWindow::PlaceholderWindow() : text_(new QLabel) {
    setWindowTitle(QStringLiteral("Vantrel"));
    text_->setTextFormat(Qt::PlainText); // device names are shown, never interpreted
    text_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    text_->setWordWrap(true);
    text_->setMinimumWidth(360);

    auto* reviewed = new QPushButton(QStringLiteral("Mark all reviewed"));
    auto* quit = new QPushButton(QStringLiteral("Quit Vantrel"));
    connect(reviewed, &QPushButton::clicked, this, [this] {
        if (monitor_ != nullptr) {
            monitor_->markAllReviewed();
        }
    });
    connect(quit, &QPushButton::clicked, qApp, &QApplication::quit);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(reviewed);
    buttons->addStretch();
    buttons->addWidget(quit);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text_, 1);
    layout->addLayout(buttons);
}

void PlaceholderWindow::attach(Monitor& monitor) {
    monitor_ = &monitor;
    monitor.observe([this] { redraw(); });
    redraw();
}

void PlaceholderWindow::redraw() {
    if (monitor_ == nullptr) {
        return;
    }
    std::string text = "USB devices:\n";
    const auto devices = monitor_->everydayDevices();
    if (devices.empty()) {
        text += "  Nothing plugged in\n";
    }
    for (const auto& device : devices) {
        const TrustScore score = monitor_->trust(device);
        text += "  " + device.label() + ": trust " + std::to_string(score.score) + ", " +
                score.title + "\n";
    }
    text += "\nLatest events:\n";
    const auto& events = monitor_->events();
    for (std::size_t i = 0; i < std::min<std::size_t>(events.size(), 8); ++i) {
        text += std::string(events[i].reviewed ? "  " : "• ") + events[i].text + "\n";
    }
    text_->setText(QString::fromStdString(text));
}

PlaceholderAdvisor::PlaceholderAdvisor() {
    window_.setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::WindowDoesNotAcceptFocus);
    window_.setAttribute(Qt::WA_ShowWithoutActivating);
    window_.setTextFormat(Qt::PlainText);
    window_.setMargin(16);
    window_.setWordWrap(true);
    window_.setMinimumWidth(320);
}

void PlaceholderAdvisor::show(const TrustRequest& request) {
    std::string text = "Linux is asking whether to allow an accessory on " + request.portName + ".";
    for (const auto& device : request.devices) {
        text += "\n• " + device.label();
    }
    window_.setText(QString::fromStdString(text));
    window_.adjustSize();
    window_.show();
}

void PlaceholderAdvisor::hide() {
    window_.hide();
}

} // namespace vantrel
