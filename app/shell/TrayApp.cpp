#include "app/shell/TrayApp.h"

#include "app/linux/Scanner.h"
#include "app/shell/KeepAlive.h"
#include "app/shell/Reports.h"
#include "app/shell/ShieldIcon.h"
#include "app/ui/Placement.h"

#include <iostream>

#include <QApplication>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QPalette>
#include <QScreen>

namespace vantrel {

TrayApp::TrayApp(const std::function<void()>& firstCycle) {
    // The watch is in place before the Monitor starts the keyboard watcher, so that the first
    // keyboards opened are watched; device changes reach the Monitor once it exists.
    watch_ = std::make_unique<MachineWatch>(deviceEvents_, keyboard_, [this] {
        if (monitor_) {
            monitor_->deviceChanged();
        }
    });
    if (!ui::windowsPlaceThemselves()) {
        prompts_.notification =
            std::make_unique<PromptNotification>(QDBusConnection::sessionBus(), clock_);
        prompts_.notification->setLocked(lockHold_.locked());
    }
    journal_ = openJournalSink();
    monitor_ = std::make_unique<Monitor>(MonitorProviders{machine_, keyboard_, notifier_, prompts_,
                                                          scheduler_, clock_, journal_.get()});
    // The panel and the notification are answered through the Monitor, and follow whether they
    // can be.
    const ui::AdvisorWindowController::Answers answers{
        .available = [this] { return monitor_ && monitor_->canAllow(); },
        .allow =
            [this] {
                if (monitor_) {
                    monitor_->allowPrompt();
                }
            },
        .refuse =
            [this] {
                if (monitor_) {
                    monitor_->refusePrompt();
                }
            }};
    advisor_.setAnswers(answers);
    if (prompts_.notification) {
        prompts_.notification->setAnswers(answers);
    }
    monitor_->observe([this](Changes changes) {
        if (changes.touches(Changes::of(Changes::request, Changes::policy))) {
            advisor_.updateAnswers();
            if (prompts_.notification) {
                prompts_.notification->updateAnswers();
            }
        }
    });
    if (firstCycle) {
        firstCycle();
    }

    inTray_ = QSystemTrayIcon::isSystemTrayAvailable();
    window_ = std::make_unique<ui::ContentView>(
        *monitor_, ui::ContentView::Hooks{
                       .keepAliveEnabled = [] { return KeepAlive::enabled(); },
                       .setKeepAlive = [](bool on) { return KeepAlive::set(on, std::cerr); },
                       .quit = [] { QApplication::quit(); },
                       .systemInformation = [this] { showSystemInformation(); },
                   });
    if (inTray_ && ui::windowsPlaceThemselves()) {
        // Dropped from the tray icon like a menu: a click anywhere else closes it, whatever the
        // window manager does with the focus. Where the compositor places the windows (Wayland)
        // it cannot open under the icon, and a click elsewhere never reaches it: there it is an
        // ordinary window, closed with its title bar.
        window_->setWindowFlags(Qt::Popup);
    }
    monitor_->observe([this](Changes changes) {
        if (changes.has(Changes::events)) {
            updateIcon();
        }
    });

    menu_.addAction(QStringLiteral("Open Vantrel"), this, [this] { openWindow(); });
    menu_.addSeparator();
    menu_.addAction(QStringLiteral("Quit Vantrel"), qApp, &QApplication::quit);
    tray_.setContextMenu(&menu_);
    tray_.setToolTip(QStringLiteral("Vantrel"));
    connect(&tray_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger) {
                    if (window_->isVisible()) {
                        window_->hide();
                    } else {
                        openWindow();
                    }
                }
            });
    alert_ = !monitor_->unreviewed().empty();
    tray_.setIcon(shieldIcon(alert_, QApplication::palette().color(QPalette::WindowText)));

    if (inTray_) {
        tray_.show();
    } else {
        // A desktop without a tray: the window is the application, and closing it quits, as
        // nothing would be left to open it again.
        QApplication::setQuitOnLastWindowClosed(true);
        window_->show();
    }
}

TrayApp::~TrayApp() = default;

void TrayApp::deviceChanged() {
    if (monitor_) {
        monitor_->deviceChanged();
    }
}

void TrayApp::lockChanged() {
    if (prompts_.notification) {
        prompts_.notification->setLocked(lockHold_.locked());
    }
    deviceChanged();
}

void TrayApp::Prompts::show(const TrustRequest& request) {
    panel.show(request);
    if (notification) {
        notification->show(request);
    }
}

void TrayApp::Prompts::hide() {
    panel.hide();
    if (notification) {
        notification->hide();
    }
}

void TrayApp::updateIcon() {
    const bool alert = !monitor_->unreviewed().empty();
    if (alert == alert_) {
        return;
    }
    alert_ = alert;
    tray_.setIcon(shieldIcon(alert_, QApplication::palette().color(QPalette::WindowText)));
}

void TrayApp::showSystemInformation() {
    // What Vantrel sees of the machine's hardware, as the snapshot report gives it.
    information_.setWindowTitle(QStringLiteral("System Information"));
    information_.setReadOnly(true);
    information_.setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    information_.setPlainText(QString::fromStdString(
        Snapshot::text(Scanner::usbDevices(), Scanner::inputDevices(), Scanner::ports())));
    information_.resize(720, 480);
    information_.show();
    information_.raise();
    information_.activateWindow();
}

void TrayApp::openWindow() {
    window_->adjustSize();
    if (ui::windowsPlaceThemselves()) {
        place();
    }
    window_->show();
    window_->raise();
    window_->activateWindow();
}

void TrayApp::place() {
    const QRect icon = tray_.geometry();
    QScreen* screen = icon.isValid() ? QGuiApplication::screenAt(icon.center()) : nullptr;
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    if (screen != nullptr) {
        const QRect area = screen->availableGeometry();
        const QSize size = window_->size();
        // Under the icon when the desktop says where it is (above it for a tray at the bottom),
        // else in the top-right corner; always whole on the screen.
        int x = icon.isValid() ? icon.center().x() - size.width() / 2 : area.right() - size.width();
        int y = area.top();
        if (icon.isValid()) {
            y = icon.center().y() < area.center().y() ? icon.bottom() + 1
                                                      : icon.top() - size.height();
        }
        x = std::clamp(x, area.left(), std::max(area.left(), area.right() + 1 - size.width()));
        y = std::clamp(y, area.top(), std::max(area.top(), area.bottom() + 1 - size.height()));
        window_->move(x, y);
    }
}

} // namespace vantrel
