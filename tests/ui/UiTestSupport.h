// What the window tests share: a demo Monitor on scripted providers whose published state a test
// sets directly, a Monitor that acts on the scripted machine, builders of the records they show,
// and finding widgets by text or name.
#pragma once

#include "app/engine/Monitor.h"
#include "app/engine/scripted/ScriptedMachine.h"
#include "app/engine/scripted/VirtualScheduler.h"
#include "tests/TestSupport.h"

#include <memory>
#include <string>
#include <vector>

#include <QLabel>
#include <QWidget>

namespace vantrel {

// 2026-10-08 10:24:00 UTC, the time every test scores devices at.
inline constexpr Timestamp testNow{813147840};

struct UiRig {
    VirtualScheduler scheduler{testNow};
    ScriptedMachine machine;
    ScriptedKeyboardWatcher keyboard{machine, scheduler};
    RecordingNotifier notifier{nullptr};
    RecordingPanel panel{nullptr};
    std::unique_ptr<Monitor> monitor = Monitor::demo(
        MonitorProviders{machine, keyboard, notifier, panel, scheduler, scheduler}, testNow);

    void show(Monitor::DemoState state) { monitor->showDemo(std::move(state)); }
};

// A Monitor that stores (in a scratch folder) and acts on the scripted machine, so that the
// operations of the windows leave traces: each action as its name and its arguments.
struct ActingRig {
    TempFolder folder;
    VirtualScheduler scheduler{testNow};
    ScriptedMachine machine;
    ScriptedKeyboardWatcher keyboard{machine, scheduler};
    RecordingNotifier notifier{nullptr};
    RecordingPanel panel{nullptr};
    std::vector<std::string> actions;
    std::unique_ptr<Monitor> monitor;

    ActingRig() {
        machine.state.results.serviceName["usb0"] = "USB LAN";
        machine.setActionHook([this](const std::string& name, nlohmann::json args, nlohmann::json) {
            actions.push_back(name + args.dump());
        });
        monitor = std::make_unique<Monitor>(
            MonitorProviders{machine, keyboard, notifier, panel, scheduler, scheduler},
            MonitorFiles{folder.path / "defaults.json", folder.path / "events.json"});
        actions.clear();
    }
    // Plugs in `device`, held back, and opens the prompt for it on "USB-C port 1".
    void holdAtPrompt(USBDevice device);
};

// A USB device with the usual test ids (0x1234:0x5678, "Acme") on root port 1 of bus 1.
USBDevice usbDevice(std::uint64_t id, std::string name, std::vector<Capability> caps,
                    std::uint32_t locationID = 0x01100000);
// An event at testNow minus `ago` seconds.
Event event(std::string text, Event::Level level = Event::Level::info, bool reviewed = false,
            double ago = 0);

// Every QLabel below `root` (itself included), in the order of the widget tree.
std::vector<QLabel*> labels(const QWidget* root);
// The texts of those labels.
std::vector<std::string> texts(const QWidget* root);
// Whether any label below `root` shows exactly `text`.
bool shows(const QWidget* root, const std::string& text);
// The widgets below `root` whose object name starts with `prefix`, in tree order.
std::vector<QWidget*> named(const QWidget* root, const std::string& prefix);

} // namespace vantrel
