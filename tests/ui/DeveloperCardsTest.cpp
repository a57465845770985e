// The developer layout's body on a demo Monitor: which cards and rows it shows, the hub tree
// indent, chips and menus by the device's state, the detail lines, and what the menu items do.
#include "app/ui/DeveloperCards.h"

#include "app/ui/AdvisorView.h"
#include "app/ui/Blocks.h"
#include "app/ui/DeviceMenu.h"
#include "app/ui/Style.h"
#include "tests/TestSupport.h"
#include "tests/ui/UiTestSupport.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QAction>
#include <QApplication>
#include <QGraphicsOpacityEffect>
#include <QLayout>
#include <QMenu>
#include <QMouseEvent>
#include <QTimer>
#include <gtest/gtest.h>

namespace vantrel::ui {
namespace {

using Caps = std::vector<Capability>;

std::unique_ptr<QWidget> bodyOf(UiRig& rig) {
    return std::unique_ptr<QWidget>(developerBody(*rig.monitor));
}

// The one widget below `root` called exactly `name`.
QWidget* only(const QWidget* root, const std::string& name) {
    std::vector<QWidget*> found;
    for (QWidget* w : named(root, name)) {
        if (w->objectName().toStdString() == name) {
            found.push_back(w);
        }
    }
    EXPECT_EQ(found.size(), 1u) << name;
    return found.empty() ? nullptr : found.front();
}

// The widgets below `root` of class T, in tree order (the blocks have no meta-objects of their
// own, so findChildren cannot tell them apart).
template <class T> std::vector<T*> all(const QWidget* root) {
    std::vector<T*> found;
    for (QWidget* w : root->findChildren<QWidget*>()) {
        if (auto* t = dynamic_cast<T*>(w)) {
            found.push_back(t);
        }
    }
    return found;
}

template <class T> T* first(const QWidget* root) {
    const auto found = all<T>(root);
    return found.empty() ? nullptr : found.front();
}

template <class T> T* as(QWidget* widget) {
    auto* t = dynamic_cast<T*>(widget);
    EXPECT_NE(t, nullptr);
    return t;
}

std::vector<std::string> objectNames(const std::vector<QWidget*>& widgets) {
    std::vector<std::string> names;
    for (const QWidget* w : widgets) {
        names.push_back(w->objectName().toStdString());
    }
    return names;
}

QColor colorOf(const QLabel* label) {
    return label->palette().color(QPalette::WindowText);
}

QLabel* labelShowing(const QWidget* root, const std::string& text) {
    for (QLabel* label : labels(root)) {
        if (label->text().toStdString() == text) {
            return label;
        }
    }
    ADD_FAILURE() << "no label \"" << text << "\"";
    return nullptr;
}

// The capability chips of a USB row, in order, leaving out the status chip.
std::vector<std::pair<std::string, QColor>> capabilityChips(const QWidget* row) {
    std::vector<std::pair<std::string, QColor>> chips;
    for (const Chip* chip : all<Chip>(row)) {
        if (chip->objectName() != "status") {
            chips.emplace_back(chip->text().toStdString(), chip->color());
        }
    }
    return chips;
}

std::vector<std::string> cardTitles(const QWidget* body) {
    std::vector<std::string> titles;
    for (const QWidget* card : named(body, "card:")) {
        titles.push_back(card->objectName().toStdString().substr(5));
    }
    return titles;
}

TrustRequest request() {
    PendingDevice pending;
    pending.name = "Keyboard";
    pending.vendorName = "Acme";
    pending.vendorID = 0x1234;
    pending.productID = 0x5678;
    pending.caps = {Capability::input};
    return {"USB-C port 1", {pending}};
}

TEST(DeveloperCards, EmptyMonitorShowsTheFixedCardsWithTheirPlaceholders) {
    UiRig rig;
    const auto body = bodyOf(rig);
    EXPECT_EQ(cardTitles(body.get()), (std::vector<std::string>{"USB devices", "Keyboards & mice",
                                                                "Ports", "Network", "Activity"}));
    EXPECT_TRUE(named(body.get(), "advisor").empty());
    const auto* usb = as<Card>(only(body.get(), "card:USB devices"));
    EXPECT_EQ(usb->detail(), "0");
    const QLabel* nothing = labelShowing(usb, "Nothing connected over USB");
    ASSERT_NE(nothing, nullptr);
    EXPECT_EQ(colorOf(nothing), colors().secondary);
    const auto* activity = as<Card>(only(body.get(), "card:Activity"));
    EXPECT_EQ(activity->detail(), "saved across restarts");
    const QLabel* nothingYet = labelShowing(activity, "Nothing yet");
    ASSERT_NE(nothingYet, nullptr);
    EXPECT_EQ(colorOf(nothingYet), colors().secondary);
    EXPECT_EQ(as<Card>(only(body.get(), "card:Keyboards & mice"))->detail(), "0");
    EXPECT_EQ(as<Card>(only(body.get(), "card:Ports"))->detail(), "");
    EXPECT_TRUE(named(body.get(), "usb:").empty());
    EXPECT_TRUE(named(body.get(), "event:").empty());
}

TEST(DeveloperCards, AdvisorLeadsTheBodyWhileARequestIsPending) {
    UiRig rig;
    Monitor::DemoState state;
    state.trustRequest = request();
    rig.show(state);
    const auto body = bodyOf(rig);
    const QWidget* panel = only(body.get(), "advisor");
    ASSERT_NE(panel, nullptr);
    const AdvisorView* advisor = first<AdvisorView>(panel);
    ASSERT_NE(advisor, nullptr);
    EXPECT_FALSE(advisor->expanded());
    EXPECT_EQ(advisor->closeButton(), nullptr);
    EXPECT_EQ(body->layout()->itemAt(0)->widget(), panel);
    // Laid out at a width wider than the advisor's, the panel still gives it its full height.
    ASSERT_TRUE(body->hasHeightForWidth());
    body->resize(460, body->heightForWidth(460));
    body->show();
    EXPECT_EQ(advisor->x(), 0);
    EXPECT_GE(advisor->height(), advisor->sizeHint().height());
}

TEST(DeveloperCards, NeedsReviewOnlyWithUnreviewedWarnings) {
    const Event info = event("Plugged in", Event::Level::info, false, 10);
    const Event reviewed = event("Old warning", Event::Level::warning, true, 20);
    const Event fresh = event("New warning", Event::Level::warning, false, 5);
    const Event fresher = event("Newer warning", Event::Level::warning, false, 1);
    const struct {
        std::vector<Event> events;
        std::vector<std::string> rows;
    } cases[] = {
        {{}, {}},
        {{info, reviewed}, {}},
        {{fresher, fresh, info, reviewed}, {fresher.id, fresh.id}},
    };
    for (const auto& c : cases) {
        UiRig rig;
        Monitor::DemoState state;
        state.events = c.events;
        rig.show(state);
        const auto body = bodyOf(rig);
        const auto cards = named(body.get(), "card:Needs review");
        if (c.rows.empty()) {
            EXPECT_TRUE(cards.empty());
            continue;
        }
        ASSERT_EQ(cards.size(), 1u);
        EXPECT_EQ(cardTitles(body.get()).front(), "Needs review");
        std::vector<std::string> expected;
        for (const std::string& id : c.rows) {
            expected.push_back("event:" + id);
        }
        EXPECT_EQ(objectNames(named(cards.front(), "event:")), expected);
    }
}

TEST(DeveloperCards, ActivityShowsTheFirstFortyEventsNewestFirst) {
    std::vector<Event> events;
    for (int i = 0; i < 41; ++i) {
        events.push_back(event("event " + std::to_string(i), Event::Level::info, false, i));
    }
    UiRig rig;
    Monitor::DemoState state;
    state.events = events;
    rig.show(state);
    const auto body = bodyOf(rig);
    const auto rows = named(only(body.get(), "card:Activity"), "event:");
    ASSERT_EQ(rows.size(), 40u);
    for (int i = 0; i < 40; ++i) {
        EXPECT_EQ(rows[i]->objectName().toStdString(), "event:" + events[i].id);
        EXPECT_EQ(as<EventRow>(rows[i])->text().toStdString(), events[i].text);
    }
    // Neither as a label nor as an event row.
    EXPECT_FALSE(shows(body.get(), "event 40"));
    for (const EventRow* row : all<EventRow>(body.get())) {
        EXPECT_NE(row->text().toStdString(), "event 40");
    }
    EXPECT_FALSE(shows(body.get(), "Nothing yet"));
}

TEST(DeveloperCards, UsbRowsFollowTheHubTree) {
    const struct {
        std::uint32_t locationID;
        int indent;
    } cases[] = {{0x01100000, 0}, {0x01120000, 16}, {0x01123000, 32}, {0x14000000, 0}};
    UiRig rig;
    Monitor::DemoState state;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        state.usb.push_back(usbDevice(i + 1, "Device " + std::to_string(i), {Capability::storage},
                                      cases[i].locationID));
    }
    rig.show(state);
    const auto body = bodyOf(rig);
    body->resize(720, 900);
    body->show();
    const auto rows = named(body.get(), "usb:");
    ASSERT_EQ(rows.size(), std::size(cases));
    EXPECT_EQ(as<Card>(only(body.get(), "card:USB devices"))->detail(), "4");
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto* icon = first<DeviceIcon>(rows[i]);
        ASSERT_NE(icon, nullptr);
        EXPECT_EQ(icon->mapTo(rows[i], QPoint(0, 0)).x(), cases[i].indent) << i;
        EXPECT_EQ(rows[i]->objectName().toStdString(), "usb:" + std::to_string(i + 1));
    }
}

TEST(DeveloperCards, UsbRowShowsIconTextsAndOneChipPerCapabilityButHub) {
    const Colors& c = colors();
    const struct {
        Caps caps;
        std::string symbol;
        QColor tint;
        std::vector<std::pair<std::string, QColor>> chips;
    } cases[] = {
        {{}, "cable.connector.horizontal", c.secondary, {}},
        {{Capability::hub}, "cable.connector.horizontal", c.secondary, {}},
        {{Capability::storage, Capability::hub}, "sdcard", c.secondary, {{"Storage", c.secondary}}},
        {{Capability::input, Capability::network, Capability::storage, Capability::hub},
         "keyboard",
         c.red,
         {{"Keyboard/mouse", c.red}, {"Network", c.orange}, {"Storage", c.secondary}}},
        {{Capability::audio, Capability::vendor},
         "mic",
         c.orange,
         {{"Audio/mic", c.orange}, {"Vendor-specific", c.secondary}}},
    };
    for (const auto& k : cases) {
        UiRig rig;
        USBDevice d = usbDevice(7, "Gadget <b>x</b>", k.caps);
        d.vendor = "Acme & Co\u202E";
        d.vendorID = 0x0a5c;
        d.productID = 0xbd1;
        Monitor::DemoState state;
        state.usb = {d};
        rig.show(state);
        const auto body = bodyOf(rig);
        const QWidget* row = only(body.get(), "usb:7");
        ASSERT_NE(row, nullptr);
        const auto* icon = first<DeviceIcon>(row);
        ASSERT_NE(icon, nullptr);
        EXPECT_EQ(icon->symbol(), k.symbol);
        EXPECT_EQ(icon->tint(), k.tint);
        EXPECT_EQ(capabilityChips(row), k.chips) << d.capsText();
        const QLabel* name = labelShowing(row, "\u2068Gadget <b>x</b>\u2069");
        ASSERT_NE(name, nullptr);
        EXPECT_EQ(name->textFormat(), Qt::PlainText);
        const QLabel* vendor = labelShowing(row, "\u2068Acme & Co\u2069");
        const QLabel* ids = labelShowing(row, " \u00B7 0A5C:0BD1");
        ASSERT_NE(vendor, nullptr);
        ASSERT_NE(ids, nullptr);
        EXPECT_EQ(colorOf(vendor), c.secondary);
        EXPECT_EQ(colorOf(ids), c.secondary);
        EXPECT_TRUE(named(row, "activity").empty());
    }
}

// Short of room, a row cuts its name and vendor, never the ids or the chips.
TEST(DeveloperCards, UsbRowKeepsItsIdsAndStateWholeWhenNarrow) {
    UiRig rig;
    USBDevice d = usbDevice(7, "USB-C Charger with a rather long name", {Capability::input});
    d.vendor = "QinHeng Electronics of a long vendor name";
    d.vendorID = 0x1a86;
    d.productID = 0x7523;
    d.blocked = true;
    Monitor::DemoState state;
    state.usb = {d};
    rig.show(state);
    const auto body = bodyOf(rig);
    body->resize(360, body->heightForWidth(360));
    body->show();
    QApplication::processEvents();
    QWidget* row = only(body.get(), "usb:7");
    ASSERT_NE(row, nullptr);
    const QLabel* vendor = labelShowing(row, "\u2068" + d.vendor + "\u2069");
    ASSERT_NE(vendor, nullptr);
    EXPECT_LT(vendor->width(), vendor->sizeHint().width()); // cut
    std::vector<const QWidget*> whole{labelShowing(row, " \u00B7 1A86:7523")};
    for (const Chip* chip : all<Chip>(row)) {
        whole.push_back(chip);
    }
    ASSERT_EQ(whole.size(), 3u); // the ids, "Not allowed" and "Keyboard/mouse"
    for (const QWidget* part : whole) {
        ASSERT_NE(part, nullptr);
        EXPECT_GE(part->width(), part->sizeHint().width());
        EXPECT_LE(part->mapTo(row, QPoint(part->width(), 0)).x(), row->width());
    }
}

TEST(DeveloperCards, ActivityLineOnlyForTheDeviceItDescribes) {
    UiRig rig;
    Monitor::DemoState state;
    state.usb = {usbDevice(1, "Stick", {Capability::storage}),
                 usbDevice(2, "Dongle", {Capability::network})};
    state.activity = {{2, "Sending 3 MB/s"}};
    rig.show(state);
    const auto body = bodyOf(rig);
    EXPECT_TRUE(named(only(body.get(), "usb:1"), "activity").empty());
    const auto* line = as<QLabel>(only(only(body.get(), "usb:2"), "activity"));
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->text(), "Sending 3 MB/s");
    EXPECT_EQ(colorOf(line), colors().blue);
    EXPECT_FALSE(line->wordWrap());
}

TEST(DeveloperCards, StatusChipAndMenuFollowBlockedScopeAndPrompt) {
    const Colors& c = colors();
    const struct {
        bool blocked, outOfScope, prompt;
        std::optional<std::string> status;
        QColor color;
        bool menu;
    } cases[] = {
        {false, false, false, std::nullopt, {}, true},
        {false, false, true, std::nullopt, {}, true},
        {false, true, false, "Out of scope", c.red, true},
        {true, false, false, "Not allowed", c.blue, false},
        {true, false, true, "Waiting for you", c.blue, false},
        {true, true, false, "Not allowed", c.blue, false},
        {true, true, true, "Waiting for you", c.blue, false},
    };
    for (const auto& k : cases) {
        UiRig rig;
        USBDevice d = usbDevice(3, "Keyboard", {Capability::input});
        d.blocked = k.blocked;
        Monitor::DemoState state;
        state.usb = {d};
        if (k.outOfScope) {
            state.outOfScope["1234:5678:S3"] = {Capability::input};
        }
        if (k.prompt) {
            state.trustRequest = request();
        }
        rig.show(state);
        const auto body = bodyOf(rig);
        const QWidget* row = only(body.get(), "usb:3");
        ASSERT_NE(row, nullptr);
        const auto status = named(row, "status");
        const std::string where =
            std::to_string(k.blocked) + std::to_string(k.outOfScope) + std::to_string(k.prompt);
        if (k.status) {
            ASSERT_EQ(status.size(), 1u) << where;
            EXPECT_EQ(as<Chip>(status.front())->text().toStdString(), *k.status);
            EXPECT_EQ(as<Chip>(status.front())->color(), k.color) << where;
        } else {
            EXPECT_TRUE(status.empty()) << where;
        }
        EXPECT_EQ(all<DeviceMenu>(row).size(), k.menu ? 1u : 0u) << where;
    }
}

TEST(DeviceMenuTest, ItemsFollowTheDevice) {
    const QString approve = "Approve its new functions", pause = "Pause network adapter\u2026",
                  resume = "Resume network adapter\u2026", eject = "Eject its disks",
                  lock = "Lock screen now", forget = "Forget this device";
    const struct {
        Caps caps;
        bool outOfScope;
        std::vector<std::string> netNames, disks;
        QStringList items;
    } cases[] = {
        {{Capability::storage}, false, {}, {}, {"", forget}},
        {{}, false, {}, {}, {"", forget}},
        {{Capability::storage}, true, {}, {}, {approve, "", forget}},
        {{Capability::network}, false, {"usb0"}, {}, {pause, resume, "", forget}},
        {{Capability::storage}, false, {}, {"sdb"}, {eject, "", forget}},
        {{Capability::storage, Capability::input}, false, {}, {}, {lock, "", forget}},
        {{Capability::input, Capability::network, Capability::storage},
         true,
         {"usb0", "usb1"},
         {"sdb", "sdc"},
         {approve, pause, resume, eject, lock, "", forget}},
    };
    for (const auto& k : cases) {
        UiRig rig;
        USBDevice d = usbDevice(4, "Thing", k.caps);
        d.netNames = k.netNames;
        d.disks = k.disks;
        Monitor::DemoState state;
        state.usb = {d};
        // Another key for the same ids must not count.
        state.outOfScope["1234:5678:other"] = {Capability::input};
        if (k.outOfScope) {
            state.outOfScope["1234:5678:S4"] = {Capability::input};
        }
        rig.show(state);
        DeviceMenu menu(*rig.monitor, d);
        EXPECT_EQ(menu.itemTexts(), k.items) << d.capsText();
        EXPECT_EQ(menu.popupMode(), QToolButton::InstantPopup);
        EXPECT_TRUE(menu.autoRaise());
        // The menu is made when first needed, with the same items, and then stays the button's.
        EXPECT_EQ(menu.menu(), nullptr);
        QMenu* items = menu.items();
        ASSERT_NE(items, nullptr);
        EXPECT_EQ(menu.menu(), items);
        EXPECT_EQ(menu.items(), items);
        QStringList shown;
        for (const QAction* action : items->actions()) {
            shown << (action->isSeparator() ? QString() : action->text());
        }
        EXPECT_EQ(shown, k.items) << d.capsText();
        EXPECT_EQ(menu.itemTexts(), k.items) << d.capsText();
    }
}

TEST(DeviceMenuTest, PressingTheButtonPopsUpTheMenu) {
    // By mouse, or as a screen reader presses it; the first time and again.
    const std::function<void(DeviceMenu&)> presses[] = {
        [](DeviceMenu& button) {
            const QPoint centre = button.rect().center();
            QMouseEvent press(QEvent::MouseButtonPress, centre, button.mapToGlobal(centre),
                              Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(&button, &press);
        },
        [](DeviceMenu& button) { button.click(); },
    };
    for (const auto& press : presses) {
        UiRig rig;
        USBDevice d = usbDevice(4, "Thing", {Capability::storage});
        d.disks = {"sdb"};
        Monitor::DemoState state;
        state.usb = {d};
        rig.show(state);
        QWidget window;
        auto* button = new DeviceMenu(*rig.monitor, d, &window);
        window.show();
        for (int time = 0; time < 2; ++time) {
            QStringList popped;
            int shown = 0;
            // The menu runs its own event loop while it is up; close it from there.
            QTimer::singleShot(0, &window, [&popped, &shown] {
                if (auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                    ++shown;
                    for (const QAction* action : popup->actions()) {
                        popped << (action->isSeparator() ? QString() : action->text());
                    }
                    popup->close();
                }
            });
            press(*button);
            QApplication::processEvents();
            EXPECT_EQ(shown, 1) << "press " << time;
            EXPECT_EQ(popped, (QStringList{"Eject its disks", "", "Forget this device"}));
            EXPECT_NE(button->menu(), nullptr);
            EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
        }
    }
}

void choose(DeviceMenu& menu, const QString& text) {
    for (QAction* action : menu.items()->actions()) {
        if (action->text() == text) {
            action->trigger();
            return;
        }
    }
    ADD_FAILURE() << "no item " << text.toStdString();
}

TEST(DeviceMenuTest, ItemsRunTheirOperationOnTheDevice) {
    USBDevice d = usbDevice(5, "Dock", {Capability::input, Capability::network});
    d.netNames = {"usb0"};
    d.disks = {"sdb"};
    const struct {
        QString item;
        std::vector<std::string> actions;
    } cases[] = {
        {"Pause network adapter\u2026",
         {R"(serviceName["usb0"])", R"(setNetworkService["USB LAN",false])"}},
        {"Resume network adapter\u2026",
         {R"(serviceName["usb0"])", R"(setNetworkService["USB LAN",true])"}},
        {"Eject its disks", {R"(ejectDisk["sdb"])"}},
        {"Lock screen now", {"lockScreen[]"}},
        {"Forget this device", {}},
    };
    for (const auto& k : cases) {
        ActingRig rig;
        DeviceMenu menu(*rig.monitor, d);
        choose(menu, k.item);
        EXPECT_EQ(rig.actions, k.actions) << k.item.toStdString();
    }

    ActingRig rig;
    DeviceMenu menu(*rig.monitor, d);
    choose(menu, "Forget this device");
    ASSERT_FALSE(rig.monitor->events().empty());
    EXPECT_TRUE(rig.monitor->events().front().text.starts_with("Forgot Dock (1234:5678)."));
}

TEST(DeviceMenuTest, TheOpenPromptIsAnsweredForAHeldBackDeviceNobodyElseDecided) {
    const QStringList answered{"Allow", "Don\u2019t Allow", "", "Forget this device"};
    const QStringList plain{"", "Forget this device"};
    const struct {
        const char* what;
        bool blocked, policyHeld, prompt, canAllow;
        QStringList items;
    } cases[] = {
        {"held back at a prompt", true, false, true, true, answered},
        {"held by the administrator's rule", true, true, true, true, plain},
        {"let in", false, false, true, true, plain},
        {"no prompt open", true, false, false, true, plain},
        {"no policy engine answers", true, false, true, false, plain},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.what);
        UiRig rig;
        USBDevice d = usbDevice(4, "Thing", {Capability::storage});
        d.blocked = k.blocked;
        d.policyHeld = k.policyHeld;
        Monitor::DemoState state;
        state.usb = {d};
        if (k.prompt) {
            state.trustRequest = TrustRequest{"USB-C port 1", {}};
        }
        state.canAllow = k.canAllow;
        rig.show(state);
        EXPECT_EQ(DeviceMenu(*rig.monitor, d).itemTexts(), k.items);
    }

    // The answers reach the policy engine, or close the prompt.
    for (const bool allow : {true, false}) {
        ActingRig rig;
        rig.holdAtPrompt(usbDevice(7, "Pocket Drive", {Capability::storage}));
        ASSERT_TRUE(rig.monitor->trustRequest().has_value());
        DeviceMenu menu(*rig.monitor, rig.monitor->usb().front());
        choose(menu, allow ? "Allow" : "Don\u2019t Allow");
        EXPECT_EQ(rig.actions,
                  allow ? std::vector<std::string>{"allowDevice[7]"} : std::vector<std::string>{});
        EXPECT_EQ(rig.monitor->trustRequest().has_value(), allow) << "Allow waits for the scan";
    }
}

TEST(DeveloperCards, InputRowsByKindAndPlace) {
    const Colors& c = colors();
    InputDevice builtIn{"Internal Keyboard", "i8042", 1, 1, true, "Keyboard"};
    InputDevice external{"Trackball <i>", "USB", 0x46d, 0xc52b, false, "Mouse/trackpad"};
    UiRig rig;
    Monitor::DemoState state;
    state.inputs = {builtIn, external};
    rig.show(state);
    const auto body = bodyOf(rig);
    const auto* card = as<Card>(only(body.get(), "card:Keyboards & mice"));
    EXPECT_EQ(card->detail(), "2");
    const struct {
        const InputDevice& device;
        std::string symbol, line, chip;
        QColor color;
    } cases[] = {
        {builtIn, "keyboard", "Keyboard \u00B7 i8042", "Built-in", c.secondary},
        {external, "computermouse", "Mouse/trackpad \u00B7 USB", "External", c.orange},
    };
    const auto rows = named(card, "input:");
    ASSERT_EQ(rows.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        const auto& k = cases[i];
        EXPECT_EQ(rows[i]->objectName().toStdString(), "input:" + k.device.key());
        const auto* icon = first<DeviceIcon>(rows[i]);
        ASSERT_NE(icon, nullptr);
        EXPECT_EQ(icon->symbol(), k.symbol);
        EXPECT_EQ(icon->tint(), k.color);
        EXPECT_TRUE(shows(rows[i], "\u2068" + k.device.name + "\u2069"));
        EXPECT_TRUE(shows(rows[i], k.line));
        const auto* chip = first<Chip>(rows[i]);
        ASSERT_NE(chip, nullptr);
        EXPECT_EQ(chip->text().toStdString(), k.chip);
        EXPECT_EQ(chip->color(), k.color);
    }
}

TEST(DeveloperCards, PortRowsShowStateAndDetail) {
    PortInfo empty{"Port-USB-C@1", "USB-C port 1", false, 0, std::nullopt, false};
    PortInfo allowed{"Port-USB-C@2", "USB-C port 2", true, 2, "Authorized", false};
    UiRig rig;
    Monitor::DemoState state;
    state.ports = {empty, allowed};
    rig.show(state);
    const auto body = bodyOf(rig);
    const struct {
        std::string id, detail;
        QColor dot;
    } cases[] = {
        {"port:Port-USB-C@1", "Empty \u00B7 0 devices attached", faded(colors().secondary, 0.4)},
        {"port:Port-USB-C@2", "Allowed by you \u00B7 2 devices attached", colors().green},
    };
    for (const auto& k : cases) {
        const QWidget* row = only(body.get(), k.id);
        ASSERT_NE(row, nullptr);
        const auto* detail = as<QLabel>(only(row, "detail"));
        ASSERT_NE(detail, nullptr);
        EXPECT_EQ(detail->text().toStdString(), k.detail);
        EXPECT_EQ(colorOf(detail), colors().secondary);
        const QWidget* dot = only(row, "dot");
        ASSERT_NE(dot, nullptr);
        EXPECT_EQ(dot->size(), QSize(7, 7));
        EXPECT_EQ(dot->property("color").value<QColor>(), k.dot) << k.id;
    }
}

TEST(DeveloperCards, NetworkBlocksShowChipsDetailAndDimInactiveOnes) {
    NetInterface wifi;
    wifi.id = "wlan0";
    wifi.name = "Wi-Fi";
    wifi.active = true;
    wifi.isPrimary = true;
    wifi.ipv4 = {"192.168.1.20"};
    wifi.inRate = 1500.7;
    wifi.counters.inBytes = 2'500'000;
    NetInterface dongle;
    dongle.id = "usb0";
    dongle.name = "USB Ethernet";
    dongle.isUSB = true;
    UiRig rig;
    Monitor::DemoState state;
    state.nets = {wifi, dongle};
    rig.show(state);
    const auto body = bodyOf(rig);
    const Colors& c = colors();
    const struct {
        std::string id, detail;
        std::vector<std::pair<std::string, QColor>> chips;
        bool dimmed;
    } cases[] = {
        {"net:wlan0",
         "192.168.1.20 \u00B7 \u2193 2 KB/s \u2191 0 bytes/s \u00B7 total \u2193 2.5 MB \u2191 0 "
         "bytes",
         {{"In use", c.blue}},
         false},
        {"net:usb0",
         "No address \u00B7 \u2193 0 bytes/s \u2191 0 bytes/s \u00B7 total \u2193 0 bytes \u2191 "
         "0 bytes",
         {{"USB", c.orange}},
         true},
    };
    for (const auto& k : cases) {
        const QWidget* block = only(body.get(), k.id);
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(as<QLabel>(only(block, "detail"))->text().toStdString(), k.detail);
        EXPECT_EQ(capabilityChips(block), k.chips) << k.id;
        const auto* effect = qobject_cast<QGraphicsOpacityEffect*>(block->graphicsEffect());
        EXPECT_EQ(effect != nullptr, k.dimmed) << k.id;
        if (effect != nullptr) {
            EXPECT_DOUBLE_EQ(effect->opacity(), 0.6);
        }
    }
}

TEST(DeveloperCards, NetworkSettingsRowsAndTheProxyWarning) {
    const Colors& c = colors();
    const struct {
        NetConfig config;
        std::string router, dns, proxy;
        bool warn;
    } cases[] = {
        {{}, "None", "None", "None", false},
        {{std::nullopt, "192.168.1.1", {"1.1.1.1", "9.9.9.9"}, {"http://proxy:3128"}},
         "192.168.1.1",
         "1.1.1.1, 9.9.9.9",
         "http://proxy:3128",
         true},
        {{std::nullopt, std::nullopt, {"8.8.8.8"}, {"http://a:1", "socks://b:2"}},
         "None",
         "8.8.8.8",
         "http://a:1; socks://b:2",
         true},
    };
    for (const auto& k : cases) {
        UiRig rig;
        Monitor::DemoState state;
        state.config = k.config;
        rig.show(state);
        const auto body = bodyOf(rig);
        const auto* router = as<InfoRow>(only(body.get(), "info:Router"));
        const auto* dns = as<InfoRow>(only(body.get(), "info:DNS"));
        const auto* proxy = as<InfoRow>(only(body.get(), "info:Proxy"));
        ASSERT_TRUE(router && dns && proxy);
        EXPECT_EQ(router->value()->text().toStdString(), k.router);
        EXPECT_EQ(dns->value()->text().toStdString(), k.dns);
        EXPECT_EQ(proxy->value()->text().toStdString(), k.proxy);
        EXPECT_FALSE(router->warn());
        EXPECT_FALSE(dns->warn());
        EXPECT_EQ(proxy->warn(), k.warn);
        EXPECT_EQ(colorOf(proxy->value()), k.warn ? c.orange : c.primary);
    }
}

} // namespace
} // namespace vantrel::ui
