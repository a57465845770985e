// The window behind the tray icon, both layouts, against Monitors whose state the tests set.
#include "app/ui/ContentView.h"

#include "app/ui/AdvisorView.h"
#include "app/ui/Blocks.h"
#include "app/ui/DeviceTrustRow.h"
#include "app/ui/Fold.h"
#include "app/ui/ScoreBadge.h"
#include "app/ui/Style.h"
#include "app/ui/Symbols.h"
#include "tests/TestSupport.h"
#include "tests/ui/UiTestSupport.h"

#include <fstream>
#include <functional>
#include <map>
#include <tuple>
#include <typeinfo>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QMenu>
#include <QPointer>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyleOptionSlider>
#include <QThread>
#include <QThreadPool>
#include <QToolButton>
#include <gtest/gtest.h>

namespace vantrel {
namespace {

using ui::ContentView;

// A stick from a well-known maker, seen many times: safe.
USBDevice knownStick(std::uint64_t id, std::string name = "Cruzer Blade") {
    USBDevice d = usbDevice(id, std::move(name), {Capability::storage});
    d.vendor = "SanDisk";
    d.vendorID = 0x0781;
    return d;
}

// A keyboard nobody knows, seen for the first time: not safe.
USBDevice strangeKeyboard(std::uint64_t id, std::string name = "HID Keyboard") {
    USBDevice d = usbDevice(id, std::move(name), {Capability::input, Capability::storage});
    d.vendor = "";
    d.vendorID = 0x1A2B;
    return d;
}

Monitor::DemoState withHistory(std::vector<USBDevice> usb) {
    Monitor::DemoState state;
    for (const USBDevice& d : usb) {
        if (d.vendorID == 0x0781) {
            state.history[d.key()] = {40, testNow - 86400 * 90, testNow - 3600, {"storage"}};
        }
    }
    state.usb = std::move(usb);
    return state;
}

std::string textOf(const QWidget* root, const char* name) {
    const auto* label = root->findChild<QLabel*>(QString::fromLatin1(name));
    return label != nullptr ? label->text().toStdString() : "<none>";
}

QCheckBox* checkBoxOf(const QWidget* root, const char* text) {
    for (QCheckBox* box : root->findChildren<QCheckBox*>()) {
        if (box->text() == QLatin1String(text)) {
            return box;
        }
    }
    return nullptr;
}

// Runs the event loop until `done` holds, for a second at most.
bool runUntil(const std::function<bool()>& done) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < 1000) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(2);
    }
    QApplication::processEvents();
    return done();
}

struct View {
    UiRig rig;
    bool keepAlive = false;
    std::vector<bool> keepAliveCalls;
    bool hookOnMainThread = true;
    std::unique_ptr<ContentView> view;

    void open(bool developer = false, bool expandFlagged = false) {
        view = std::make_unique<ContentView>(
            *rig.monitor,
            ContentView::Hooks{.keepAliveEnabled = [this] { return keepAlive; },
                               .setKeepAlive =
                                   [this](bool on) {
                                       keepAliveCalls.push_back(on);
                                       hookOnMainThread =
                                           QThread::currentThread() == qApp->thread();
                                       return false; // the agent cannot be installed here
                                   },
                               .quit = {},
                               .systemInformation = {}},
            developer, expandFlagged);
        view->show();
        QApplication::processEvents();
    }
    // The rows of the simple layout, top to bottom.
    std::vector<ui::DeviceTrustRow*> rows() const {
        std::vector<ui::DeviceTrustRow*> found;
        for (QWidget* w : named(view.get(), "row:")) {
            found.push_back(static_cast<ui::DeviceTrustRow*>(w));
        }
        std::sort(found.begin(), found.end(),
                  [](QWidget* a, QWidget* b) { return a->y() < b->y(); });
        return found;
    }
    std::string header(const char* line) const {
        return textOf(view->findChild<QWidget*>(QStringLiteral("header")), line);
    }
};

TEST(ContentView, NothingPluggedIn) {
    View v;
    v.open();
    EXPECT_EQ(v.view->width(), ContentView::simpleWidth);
    EXPECT_EQ(v.header("headline"), "All clear");
    EXPECT_EQ(v.header("caption"), "Nothing plugged in");
    const auto* shield =
        dynamic_cast<ui::SymbolView*>(v.view->findChild<QWidget*>(QStringLiteral("shield")));
    ASSERT_NE(shield, nullptr);
    EXPECT_EQ(shield->name(), "checkmark.shield.fill");
    EXPECT_EQ(shield->color(), ui::colors().green);
    EXPECT_EQ(textOf(v.view.get(), "emptyHint"),
              "Plug something in and Vantrel will give it a trust score.");
    // 20 px above and below the hint, inside the body's 12 px margin.
    const QWidget* body = v.view->findChild<QScrollArea*>(QStringLiteral("body"))->widget();
    const auto* hint = v.view->findChild<QLabel*>(QStringLiteral("emptyHint"));
    const QRect place(hint->mapTo(body, QPoint(0, 0)), hint->size());
    EXPECT_EQ(place.top(), 12 + 20);
    EXPECT_EQ(body->height() - place.bottom() - 1, 20 + 12);
}

TEST(ContentView, CountedTextsInSingularAndPlural) {
    const struct {
        std::vector<USBDevice> usb;
        std::string headline;
        std::string caption;
    } cases[] = {
        {{knownStick(1)}, "All clear", "1 device plugged in"},
        {{knownStick(1), knownStick(2, "Ultra")}, "All clear", "2 devices plugged in"},
        {{knownStick(1), strangeKeyboard(2)}, "1 device to check", "2 devices plugged in"},
        {{strangeKeyboard(1), strangeKeyboard(2, "Keyboard K2")},
         "2 devices to check",
         "2 devices plugged in"},
    };
    for (const auto& c : cases) {
        View v;
        v.rig.show(withHistory(c.usb));
        v.open();
        EXPECT_EQ(v.header("headline"), c.headline);
        EXPECT_EQ(v.header("caption"), c.caption);
    }

    const struct {
        std::vector<Event> events;
        std::size_t usb;
        std::string headline;
    } developer[] = {
        {{}, 0, "All clear"},
        {{event("w", Event::Level::warning)}, 1, "1 thing to review"},
        {{event("w", Event::Level::warning), event("x", Event::Level::warning),
          event("i", Event::Level::info), event("r", Event::Level::warning, true)},
         2,
         "2 things to review"},
    };
    for (const auto& c : developer) {
        View v;
        Monitor::DemoState state = withHistory(std::vector<USBDevice>(c.usb, knownStick(1)));
        for (std::size_t i = 0; i < state.usb.size(); ++i) {
            state.usb[i].id = i + 1;
        }
        state.events = c.events;
        state.inputs = {{"Touchpad", "I2C", 1, 2, true, "Mouse/trackpad"}};
        v.rig.show(state);
        v.open(/*developer=*/true);
        EXPECT_EQ(v.view->width(), ContentView::developerWidth);
        EXPECT_EQ(v.header("headline"), c.headline);
        // No singular forms in the device counts; built-in inputs are not external.
        EXPECT_EQ(v.header("caption"), std::to_string(c.usb) +
                                           " USB devices \u00B7 0 external keyboards/mice "
                                           "\u00B7 live");
        EXPECT_EQ(v.view->findChild<QPushButton*>(QStringLiteral("markReviewed")) != nullptr,
                  c.headline != "All clear");
    }
}

TEST(ContentView, RowsWorstFirstWithStableTiesAndLevelTexts) {
    View v;
    USBDevice blocked = knownStick(4, "Blocked Stick");
    blocked.blocked = true;
    v.rig.show(withHistory(
        {knownStick(1, "Stick A"), strangeKeyboard(2), knownStick(3, "Stick A"), blocked}));
    v.open();
    const auto rows = v.rows();
    ASSERT_EQ(rows.size(), 4u);
    std::vector<std::string> order;
    for (const auto* row : rows) {
        order.push_back(row->objectName().toStdString());
    }
    // The keyboard scores lowest; the equal sticks keep the Monitor's order.
    EXPECT_EQ(order[0], "row:2");
    EXPECT_EQ(std::vector<std::string>(order.begin() + 1, order.end()),
              (std::vector<std::string>{"row:1", "row:3", "row:4"}));

    const TrustScore keyboard = v.rig.monitor->trust(strangeKeyboard(2));
    const TrustScore stick = v.rig.monitor->trust(knownStick(1));
    ASSERT_NE(keyboard.level, TrustScore::Level::safe);
    ASSERT_EQ(stick.level, TrustScore::Level::safe);
    EXPECT_EQ(textOf(rows[0], "summary"), keyboard.summary);
    EXPECT_EQ(textOf(rows[1], "summary"), "<none>") << "no summary for a safe device";
    EXPECT_EQ(textOf(rows[1], "title"), stick.title);
    EXPECT_EQ(textOf(rows[1], "name"), "\u2068Stick A\u2069");

    // Only the blocked device waits for the user, with or without a prompt showing.
    for (const auto* row : rows) {
        QStringList chips;
        // Widgets without their own meta-object are found by their C++ type.
        for (const QWidget* w : row->findChildren<QWidget*>()) {
            if (const auto* chip = dynamic_cast<const ui::Chip*>(w)) {
                chips << chip->text();
            }
        }
        EXPECT_EQ(chips,
                  row->objectName() == "row:4" ? QStringList{"Waiting for you"} : QStringList{});
    }
}

TEST(ContentView, UnfoldedRowsStayUnfoldedWhileTheirDeviceStays) {
    View v;
    v.rig.show(withHistory({strangeKeyboard(1), knownStick(2)}));
    v.open();
    ASSERT_EQ(v.rows().size(), 2u);
    auto* keyboardRow = v.rows()[0];
    auto* details = keyboardRow->findChild<QWidget*>(QStringLiteral("details"));
    ASSERT_NE(details, nullptr);
    EXPECT_FALSE(details->isVisible());
    keyboardRow->findChild<QAbstractButton*>(QStringLiteral("face"))->click();
    EXPECT_TRUE(keyboardRow->expanded());
    EXPECT_TRUE(details->isVisible());
    const TrustScore trust = v.rig.monitor->trust(strangeKeyboard(1));
    EXPECT_EQ(textOf(keyboardRow, "unplug") != "<none>", trust.level == TrustScore::Level::danger);

    // A redraw (the next scan) keeps it open.
    v.rig.show(withHistory({strangeKeyboard(1), knownStick(2)}));
    QApplication::processEvents();
    EXPECT_TRUE(v.rows()[0]->expanded());
    EXPECT_FALSE(v.rows()[1]->expanded());

    // Unplugged and plugged in again, it starts folded.
    v.rig.show(withHistory({knownStick(2)}));
    QApplication::processEvents();
    v.rig.show(withHistory({strangeKeyboard(1), knownStick(2)}));
    QApplication::processEvents();
    EXPECT_FALSE(v.rows()[0]->expanded());
}

TEST(ContentView, ExpandFlaggedOpensTheFirstRowAndSafeRowsHaveNoWarning) {
    View v;
    v.rig.show(withHistory({knownStick(1)}));
    v.open(false, /*expandFlagged=*/true);
    ASSERT_EQ(v.rows().size(), 1u);
    EXPECT_TRUE(v.rows()[0]->expanded());
    EXPECT_EQ(textOf(v.rows()[0], "unplug"), "<none>");
    EXPECT_TRUE(shows(v.rows()[0], "Who makes it"));
}

TEST(ContentView, MarkReviewedAndLayoutSwitch) {
    View v;
    Monitor::DemoState state;
    state.events = {event("A proxy was turned on: x.", Event::Level::warning)};
    v.rig.show(state);
    v.open(/*developer=*/true);
    auto* button = v.view->findChild<QPushButton*>(QStringLiteral("markReviewed"));
    ASSERT_NE(button, nullptr);
    button->click();
    QApplication::processEvents();
    EXPECT_TRUE(v.rig.monitor->unreviewed().empty());
    EXPECT_EQ(v.header("headline"), "All clear");
    EXPECT_EQ(v.view->findChild<QPushButton*>(QStringLiteral("markReviewed")), nullptr);

    // The stored preference switches the layout of a view without the override.
    View s;
    s.open();
    EXPECT_FALSE(s.view->developerLayout());
    s.rig.monitor->setDeveloperMode(true);
    QApplication::processEvents();
    EXPECT_TRUE(s.view->developerLayout());
    EXPECT_EQ(s.view->width(), ContentView::developerWidth);
}

TEST(ContentView, SettingsMenuAndTheKeepRunningSwitchShowingWhatTheAgentReports) {
    View v;
    v.open();
    auto* gear = v.view->findChild<QToolButton*>(QStringLiteral("settings"));
    ASSERT_NE(gear, nullptr);
    ASSERT_NE(gear->menu(), nullptr);
    QStringList items;
    for (QAction* action : gear->menu()->actions()) {
        items << (action->isSeparator() ? QString() : action->text());
    }
    // No "Hold new devices while locked" where this user may not set it.
    ASSERT_FALSE(v.rig.monitor->mayHoldWhileLocked());
    EXPECT_EQ(items, (QStringList{"Always running", "Pause devices that overstep", "Typing guard",
                                  "", "Developer mode", "", "Quit Vantrel"}));
    QAction* always = gear->menu()->actions()[0];
    EXPECT_FALSE(always->isChecked());
    always->trigger(); // asks for on, off the main thread; the agent cannot be installed
    QThreadPool::globalInstance()->waitForDone();
    QApplication::processEvents();
    EXPECT_EQ(v.keepAliveCalls, std::vector<bool>{true});
    EXPECT_FALSE(v.hookOnMainThread) << "systemctl must not hold up the window";
    gear = v.view->findChild<QToolButton*>(QStringLiteral("settings"));
    EXPECT_FALSE(gear->menu()->actions()[0]->isChecked()) << "it returns to off";

    QAction* pause = gear->menu()->actions()[1];
    EXPECT_TRUE(pause->isChecked());
    pause->trigger();
    QApplication::processEvents();
    EXPECT_FALSE(v.rig.monitor->autoPause());
}

// The advisor at the top of the window, if one is there.
ui::AdvisorView* advisorOf(const QWidget* view) {
    for (QWidget* widget : view->findChildren<QWidget*>()) {
        if (auto* advisor = dynamic_cast<ui::AdvisorView*>(widget)) {
            return advisor;
        }
    }
    return nullptr;
}

TEST(ContentView, TheAdvisorOffersTheAnswersOnlyWhereThePromptCanBeAnswered) {
    for (const bool canAllow : {false, true}) {
        SCOPED_TRACE(canAllow);
        View v;
        Monitor::DemoState state;
        state.trustRequest = TrustRequest{"USB-C port 1", {}};
        state.canAllow = canAllow;
        v.rig.show(state);
        v.open();
        const auto* advisor = advisorOf(v.view.get());
        ASSERT_NE(advisor, nullptr);
        EXPECT_EQ(advisor->answersShown(), canAllow);
    }

    // On a Monitor that acts, each answer reaches it, in either layout: "Allow" the policy
    // engine, "Don’t Allow" the prompt, which closes.
    for (const auto& [allow, developer] :
         {std::pair{true, false}, {false, false}, {true, true}, {false, true}}) {
        SCOPED_TRACE(std::to_string(allow) + (developer ? " developer" : " simple"));
        ActingRig rig;
        rig.holdAtPrompt(usbDevice(7, "Pocket Drive", {Capability::storage}));
        rig.monitor->setDeveloperMode(developer);
        ContentView view(*rig.monitor, {});
        view.show();
        auto* advisor = advisorOf(&view);
        ASSERT_NE(advisor, nullptr);
        ASSERT_TRUE(advisor->answersShown());
        (allow ? advisor->allowButton() : advisor->refuseButton())->click();
        EXPECT_EQ(rig.actions,
                  allow ? std::vector<std::string>{"allowDevice[7]"} : std::vector<std::string>{});
        EXPECT_EQ(rig.monitor->trustRequest().has_value(), allow);
        QApplication::processEvents(); // the redraw replaces the advisor
        EXPECT_EQ(advisorOf(&view) != nullptr, allow);
    }
}

TEST(ContentView, TheAdvisorFitsItsPlaceInEitherLayout) {
    for (const bool developer : {false, true}) {
        View v;
        Monitor::DemoState state;
        state.trustRequest = TrustRequest{"USB-C port 1", {}};
        v.rig.show(state);
        v.open(developer);
        const QWidget* advisor = advisorOf(v.view.get());
        const QRect place(advisor->mapTo(v.view.get(), QPoint(0, 0)), advisor->size());
        EXPECT_EQ(place.width(), developer ? 360 : 356);
        if (!developer) { // as far from the window's edges as the rows
            EXPECT_EQ(place.left(), 12);
            EXPECT_EQ(v.view->width() - 1 - place.right(), 12);
        }
    }
}

TEST(ContentView, TheLockHoldSwitchWhereThisUserMaySetIt) {
    ActingRig rig;
    rig.machine.state.mayHold = true;
    ContentView view(*rig.monitor, {});
    view.show();
    auto* gear = view.findChild<QToolButton*>(QStringLiteral("settings"));
    ASSERT_NE(gear, nullptr);
    QAction* hold = nullptr;
    for (QAction* action : gear->menu()->actions()) {
        if (action->text() == QStringLiteral("Hold new devices while locked")) {
            hold = action;
        }
    }
    ASSERT_NE(hold, nullptr);
    EXPECT_FALSE(hold->isChecked()) << "off until turned on";
    hold->trigger();
    EXPECT_TRUE(rig.monitor->holdWhileLocked());
    EXPECT_EQ(rig.actions, std::vector<std::string>{"holdWhileLocked[true]"});
}

TEST(ContentView, PermissionHintOnlyWhileTheGuardIsWantedAndNotPermitted) {
    const struct {
        bool stored;
        bool permitted;
        bool hint;
    } cases[] = {{true, false, true}, {true, true, false}, {false, false, false}};
    for (const auto& c : cases) {
        for (const bool developer : {false, true}) {
            TempFolder folder;
            std::ofstream(folder.path / "defaults.json")
                << (c.stored ? R"({"keystrokeGuard": true})" : "{}");
            UiRig rig;
            rig.machine.state.inputAccess = c.permitted;
            Monitor monitor(
                {rig.machine, rig.keyboard, rig.notifier, rig.panel, rig.scheduler, rig.scheduler},
                {folder.path / "defaults.json", folder.path / "events.json"});
            ContentView view(monitor, {}, developer);
            const std::string expected =
                std::string(developer ? "Keystroke guard" : "Typing guard") +
                " needs permission: join the input group (sudo adduser $USER input), then log "
                "in again.";
            EXPECT_EQ(textOf(&view, "permissionHint"), c.hint ? expected : "<none>")
                << c.stored << c.permitted << developer;
        }
    }
}

TEST(ContentView, TheKeystrokeGuardHelpSaysWhereItsPermissionIsGrantedHere) {
    View v;
    v.open(/*developer=*/true);
    EXPECT_EQ(checkBoxOf(v.view.get(), "Keystroke guard")->toolTip().toStdString(),
              "Spots a new keyboard typing faster than a person. Needs membership of the input "
              "group to read the keyboards. Counts key presses only; never records which keys.");
}

// Counts the widgets made anywhere in the application while it lives.
struct WidgetCounter : QObject {
    int made = 0;
    WidgetCounter() { qApp->installEventFilter(this); }
    ~WidgetCounter() override { qApp->removeEventFilter(this); }
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() == QEvent::ChildAdded &&
            static_cast<QChildEvent*>(event)->child()->isWidgetType()) {
            ++made;
        }
        return QObject::eventFilter(object, event);
    }
};

// The window is built only from what changed: nothing from a cycle that changed nothing, nothing
// while hidden, and what changed meanwhile once it shows.
TEST(ContentView, DrawsOnlyWhatChangedAndNothingWhileHidden) {
    for (const bool developer : {false, true}) {
        SCOPED_TRACE(developer ? "developer" : "simple");
        ActingRig rig;
        rig.machine.state.usb = {knownStick(1), strangeKeyboard(2)};
        rig.monitor->setDeveloperMode(developer);
        ContentView view(*rig.monitor, {});
        view.show();
        const auto advance = [&](double seconds) {
            rig.scheduler.runUntil(rig.scheduler.now() + seconds, true);
            QApplication::processEvents();
        };
        advance(6); // past the settling of the devices
        WidgetCounter counter;
        advance(9);
        EXPECT_EQ(counter.made, 0);

        view.hide();
        rig.machine.state.usb.push_back(knownStick(3, "Second Stick"));
        advance(6);
        EXPECT_EQ(counter.made, 0);
        view.show();
        QApplication::processEvents();
        EXPECT_GT(counter.made, 0);
        const auto labels = view.findChildren<QLabel*>();
        EXPECT_TRUE(std::any_of(labels.begin(), labels.end(), [](const QLabel* label) {
            return label->text().contains(QStringLiteral("Second Stick"));
        }));
    }
}

// What the window shows, widget by widget in reading order: where and how big, what kind, its
// name and its text.
std::vector<std::string> drawn(const QWidget* view) {
    std::vector<std::tuple<int, int, std::string>> found;
    for (const QWidget* w : view->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(view)) {
            continue;
        }
        const QPoint at = w->mapTo(view, QPoint(0, 0));
        std::string what = std::string(typeid(*w).name()) + " " + w->objectName().toStdString() +
                           " " + std::to_string(w->width()) + "x" + std::to_string(w->height());
        if (const auto* label = qobject_cast<const QLabel*>(w)) {
            what += " " + label->text().toStdString();
        } else if (const auto* chip = dynamic_cast<const ui::Chip*>(w)) {
            what += " " + chip->text().toStdString();
        }
        found.emplace_back(at.y(), at.x(), std::move(what));
    }
    std::sort(found.begin(), found.end());
    std::vector<std::string> lines;
    for (const auto& [y, x, what] : found) {
        lines.push_back(std::to_string(x) + "," + std::to_string(y) + " " + what);
    }
    return lines;
}

// Told that one part changed, the open window redraws only what shows it, and ends up as a full
// redraw would draw it, an unfolded row still unfolded.
TEST(ContentView, RedrawOfOnePartDrawsWhatAFullRedrawDraws) {
    Monitor::DemoState base =
        withHistory({knownStick(1, "Stick A"), strangeKeyboard(2), knownStick(3, "Stick C")});
    base.activity = {{1, "reading 1 MB/s"}};
    base.inputs = {{"Touchpad", "I2C", 1, 2, true, "Mouse/trackpad"}};
    base.ports = {{"Port-USB-C@1", "USB-C port 1", true, 3, "Authorized", false}};
    base.nets = {{"wlan0", "Wi-Fi", true, true, {"192.168.1.5"}, {}, true, false, 0, 0}};
    base.events = {event("Connected: Stick A", Event::Level::info, true)};
    const struct {
        const char* what;
        Changes::Part part;
        std::function<void(Monitor::DemoState&)> change;
    } cases[] = {
        {"renamed", Changes::usb, [](auto& s) { s.usb[2].name = "Stick C, renamed"; }},
        {"worse, so first", Changes::usb, [](auto& s) { s.usb[2].caps = {Capability::input}; }},
        {"plugged in", Changes::usb, [](auto& s) { s.usb.push_back(strangeKeyboard(4, "K4")); }},
        {"unplugged", Changes::usb, [](auto& s) { s.usb.erase(s.usb.begin()); }},
        {"all unplugged", Changes::usb, [](auto& s) { s.usb.clear(); }},
        {"held back", Changes::usb, [](auto& s) { s.usb[1].blocked = true; }},
        {"activity", Changes::activity, [](auto& s) { s.activity[3] = "writing 2 MB/s"; }},
        {"out of scope", Changes::outOfScope,
         [](auto& s) { s.outOfScope[s.usb[0].key()] = {Capability::input}; }},
        {"input", Changes::inputs,
         [](auto& s) {
             s.inputs.push_back({"K", "USB", 3, 4, false, "Keyboard"});
         }},
        {"port", Changes::ports, [](auto& s) { s.ports[0].connected = false; }},
        {"network", Changes::network, [](auto& s) { s.config.router = "192.168.1.1"; }},
        {"event", Changes::events,
         [](auto& s) { s.events.insert(s.events.begin(), event("odd", Event::Level::warning)); }},
        {"prompt", Changes::request,
         [](auto& s) {
             s.trustRequest = TrustRequest{"USB-C port 1", {}};
         }},
    };
    for (const bool developer : {false, true}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(developer ? "developer: " : "simple: ") + c.what);
            UiRig rig;
            rig.show(base);
            ContentView view(*rig.monitor, {}, developer);
            view.show();
            QApplication::processEvents();
            if (auto* keyboard = dynamic_cast<ui::DeviceTrustRow*>(
                    view.findChild<QWidget*>(QStringLiteral("row:2")))) {
                keyboard->findChild<QAbstractButton*>(QStringLiteral("face"))->click(); // unfolds
                runUntil([keyboard] {
                    return keyboard->details()->animation()->state() == QAbstractAnimation::Stopped;
                });
            }
            Monitor::DemoState changed = base;
            c.change(changed);
            // A scroll bar comes or goes one turn of the event loop after its body changed size.
            const auto settled = [] {
                QApplication::processEvents();
                QApplication::processEvents();
            };
            rig.monitor->showDemo(changed, Changes::of(c.part));
            settled();
            const auto redrawn = drawn(&view);
            view.redraw();
            settled();
            EXPECT_EQ(redrawn, drawn(&view));
        }
    }
}

// After one device changed, the open window makes only that device's row anew: the rows of the
// others are the very same widgets.
TEST(ContentView, OneDeviceChangedRemakesOnlyItsRow) {
    for (const auto& [developer, prefix] : {std::pair{false, "row:"}, std::pair{true, "usb:"}}) {
        SCOPED_TRACE(prefix);
        UiRig rig;
        Monitor::DemoState state =
            withHistory({knownStick(1, "Stick A"), strangeKeyboard(2), knownStick(3, "Stick C")});
        rig.show(state);
        ContentView view(*rig.monitor, {}, developer);
        view.show();
        QApplication::processEvents();
        std::map<std::string, QPointer<QWidget>> before;
        for (QWidget* row : named(&view, prefix)) {
            before[row->objectName().toStdString()] = row;
        }
        ASSERT_EQ(before.size(), 3u);

        state.usb[2].name = "Stick C, renamed";
        rig.monitor->showDemo(state, Changes::of(Changes::usb));
        QApplication::processEvents();
        const std::string renamed = std::string(prefix) + "3";
        EXPECT_TRUE(before.at(renamed).isNull()) << "made anew";
        for (QWidget* row : named(&view, prefix)) {
            const std::string name = row->objectName().toStdString();
            if (name == renamed) {
                const auto shown = texts(row);
                EXPECT_TRUE(std::any_of(shown.begin(), shown.end(), [](const std::string& text) {
                    return text.find("renamed") != std::string::npos;
                }));
            } else {
                EXPECT_EQ(before.at(name), row) << name << " kept";
            }
        }
    }
}

TEST(ContentView, BodyGrowsWithItsContentUpToTheLimit) {
    for (const bool developer : {false, true}) {
        View few;
        few.rig.show(withHistory({knownStick(1)}));
        few.open(developer);
        auto* body = few.view->findChild<QScrollArea*>(QStringLiteral("body"));
        EXPECT_LT(body->height(),
                  developer ? ContentView::developerBodyLimit : ContentView::simpleBodyLimit);

        View many;
        std::vector<USBDevice> usb;
        for (std::uint64_t id = 1; id <= 20; ++id) {
            usb.push_back(knownStick(id, "Stick " + std::to_string(id)));
        }
        many.rig.show(withHistory(usb));
        many.open(developer);
        body = many.view->findChild<QScrollArea*>(QStringLiteral("body"));
        EXPECT_EQ(body->height(),
                  developer ? ContentView::developerBodyLimit : ContentView::simpleBodyLimit);
    }
}

TEST(ContentView, RowsFoldOpenAndShutInAnEaseInOutAndSettleAtTheirFullHeight) {
    const auto state = withHistory({strangeKeyboard(1), knownStick(2)});
    View drawnOpen;
    drawnOpen.rig.show(state);
    drawnOpen.open(false, /*expandFlagged=*/true);
    View v;
    v.rig.show(state);
    v.open();
    ui::DeviceTrustRow* row = v.rows()[0];
    QApplication::processEvents(); // the window takes its size a turn after it shows
    const struct {
        int row, window;
    } folded{row->height(), v.view->height()},
        unfolded{drawnOpen.rows()[0]->height(), drawnOpen.view->height()};
    ASSERT_LT(folded.row, unfolded.row);
    for (const bool open : {true, false}) {
        SCOPED_TRACE(open);
        row->findChild<QAbstractButton*>(QStringLiteral("face"))->click();
        const QPropertyAnimation* fold = row->details()->animation();
        ASSERT_NE(fold, nullptr);
        EXPECT_EQ(fold->state(), QAbstractAnimation::Running);
        EXPECT_EQ(fold->duration(), 150);
        EXPECT_EQ(fold->easingCurve().type(), QEasingCurve::InOutQuad);
        ASSERT_TRUE(runUntil([fold] { return fold->state() == QAbstractAnimation::Stopped; }));
        EXPECT_EQ(row->details()->isVisible(), open);
        EXPECT_EQ(row->height(), open ? unfolded.row : folded.row);
        EXPECT_EQ(v.view->height(), open ? unfolded.window : folded.window);
    }
}

// Safe (two lines) or flagged (three), a row's lines keep their own heights, 2 px apart, and sit
// centred on the badge.
TEST(ContentView, SafeAndFlaggedRowsSetTheirLinesAlikeCentredOnTheBadge) {
    View v;
    v.rig.show(withHistory({strangeKeyboard(1), knownStick(2)}));
    v.open();
    for (const ui::DeviceTrustRow* row : v.rows()) {
        SCOPED_TRACE(row->look().name);
        const auto place = [row](const QWidget* part) {
            return QRect(part->mapTo(row, QPoint(0, 0)), part->size());
        };
        const auto* name = row->findChild<QLabel*>(QStringLiteral("name"));
        const auto* title = row->findChild<QLabel*>(QStringLiteral("title"));
        const auto* summary = row->findChild<QLabel*>(QStringLiteral("summary"));
        const auto* badge = row->findChild<ui::ScoreBadge*>();
        ASSERT_TRUE(name != nullptr && title != nullptr && badge != nullptr);
        EXPECT_EQ(name->height(), name->sizeHint().height());
        EXPECT_EQ(title->height(), title->sizeHint().height());
        EXPECT_EQ(place(title).top() - place(name).bottom() - 1, 2);
        const QRect lines = place(name).united(place(summary != nullptr ? summary : title));
        EXPECT_LE(std::abs(lines.center().y() - place(badge).center().y()), 1);
    }
}

// How far apart two colours are in lightness, 0 to 255.
int contrast(QColor a, QColor b) {
    return std::abs(a.lightness() - b.lightness());
}

TEST(ContentView, UncheckedBoxesShowTheirEdgeInTheDarkAndTheScrollHandleInTheLight) {
    ui::setAppearance(ui::Appearance::dark);
    View dark;
    dark.open(/*developer=*/true);
    QThreadPool::globalInstance()->waitForDone(); // the agent's answer redraws the footer
    QApplication::processEvents();
    QCheckBox* box = checkBoxOf(dark.view.get(), "Always running");
    ASSERT_FALSE(box->isChecked());
    QStyleOptionButton button;
    button.initFrom(box);
    const QRect r = box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &button, box);
    QImage image = box->grab().toImage();
    const QColor edge = image.pixelColor(r.left(), r.center().y());
    EXPECT_GE(contrast(edge, ui::colors().window), 40);
    EXPECT_GE(contrast(edge, image.pixelColor(r.center())), 40);

    ui::setAppearance(ui::Appearance::light);
    View light;
    std::vector<USBDevice> usb;
    for (std::uint64_t id = 1; id <= 20; ++id) {
        usb.push_back(knownStick(id, "Stick " + std::to_string(id)));
    }
    light.rig.show(withHistory(usb));
    light.open();
    QScrollBar* bar = light.view->findChild<QScrollArea*>()->verticalScrollBar();
    QStyleOptionSlider slider;
    slider.initFrom(bar);
    slider.orientation = Qt::Vertical;
    slider.maximum = bar->maximum();
    slider.pageStep = bar->pageStep();
    const QRect handle = bar->style()->subControlRect(QStyle::CC_ScrollBar, &slider,
                                                      QStyle::SC_ScrollBarSlider, bar);
    image = bar->grab().toImage();
    const QColor groove = image.pixelColor(handle.center().x(), handle.bottom() + 8);
    EXPECT_GE(contrast(image.pixelColor(handle.center()), groove), 30);
    ui::setAppearance(ui::Appearance::followDesktop);
}

} // namespace
} // namespace vantrel
