// The running application: one Monitor wired to the real machine, the keyboard watcher, desktop
// notifications and Qt's event loop, behind a tray icon that shows whether warnings wait.
#pragma once

#include "app/engine/Monitor.h"
#include "app/linux/ChildProcesses.h"
#include "app/linux/DeviceEvents.h"
#include "app/linux/KeystrokeGuard.h"
#include "app/linux/LinuxMachine.h"
#include "app/shell/DBusNotifier.h"
#include "app/shell/JournalSink.h"
#include "app/shell/LockHold.h"
#include "app/shell/MachineWatch.h"
#include "app/shell/PromptNotification.h"
#include "app/shell/QtScheduler.h"
#include "app/shell/SystemClock.h"
#include "app/shell/UsbGuardPolicy.h"
#include "app/ui/AdvisorWindowController.h"
#include "app/ui/ContentView.h"

#include <functional>
#include <memory>

#include <QMenu>
#include <QObject>
#include <QPlainTextEdit>
#include <QSystemTrayIcon>

namespace vantrel {

class TrayApp final : public QObject {
  public:
    // Needs a QApplication. Loads the stored state and runs the first scan cycle; `firstCycle`
    // runs right after it.
    explicit TrayApp(const std::function<void()>& firstCycle = {});
    ~TrayApp() override;

    Monitor& monitor() { return *monitor_; }
    ui::ContentView& window() { return *window_; }
    // Whether the icon shows that warnings wait ("exclamationmark.shield.fill").
    bool alert() const { return alert_; }
    // Opens the window, under the tray icon where the desktop says where that is (under
    // Wayland, where the compositor puts it).
    void openWindow();

  private:
    // Moves the window under the tray icon, or to the top-right corner when its place is unknown.
    void place();
    void updateIcon();
    void deviceChanged();
    void lockChanged();
    void showSystemInformation();

    SystemClock clock_;
    // The session's lock and the policy daemon's answers reach the Monitor as a device event
    // does, once it exists. The lock hold goes last, putting back what it changed at quit.
    LockHold lockHold_{QDBusConnection::systemBus(),
                       SettingsStore::standardPath().parent_path() / "lock-hold.json",
                       [this] { lockChanged(); }};
    UsbGuardPolicy policy_{QDBusConnection::systemBus(), [this] { deviceChanged(); }, &lockHold_};
    LinuxMachine machine_{&policy_};
    KeystrokeGuard keyboard_{clock_};
    DBusNotifier notifier_;
    ui::AdvisorWindowController advisor_{clock_};
    // The prompt goes to the panel and, where a window cannot place itself (Wayland), also out
    // as a notification with the two answers, as the panel may open out of sight there.
    struct Prompts final : AdvisorPanel {
        AdvisorPanel& panel;
        std::unique_ptr<PromptNotification> notification;
        explicit Prompts(AdvisorPanel& p) : panel(p) {}
        void show(const TrustRequest& request) override;
        void hide() override;
    } prompts_{advisor_};
    // At the end, the tools still running (a password prompt may be open) are killed, so that
    // quitting never waits for them.
    QtScheduler scheduler_{[] { ChildProcesses::endGroups(); }};
    DeviceEvents deviceEvents_;
    QMenu menu_;
    QSystemTrayIcon tray_;
    QPlainTextEdit information_;
    bool alert_ = false;
    bool inTray_ = false;
    // Every event also goes to the system journal, where one answers.
    std::unique_ptr<EventSink> journal_;
    // Last, so that they go first: nothing above refers to them.
    std::unique_ptr<MachineWatch> watch_;
    std::unique_ptr<Monitor> monitor_;
    std::unique_ptr<ui::ContentView> window_;
};

} // namespace vantrel
