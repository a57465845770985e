// The application's windows in a real Wayland session: a headless weston of the test's own, and
// Qt's Wayland platform. The window opens and closes, the panel shows and hides, nothing crashes.
#include "app/shell/SystemClock.h"
#include "app/shell/TrayApp.h"
#include "app/ui/AdvisorView.h"
#include "app/ui/Placement.h"
#include "tests/TestSupport.h"
#include "tests/linux/FixtureTree.h"
#include "tests/shell/PrivateBus.h"
#include "tests/shell/Weston.h"

#include <memory>

#include <QApplication>
#include <QPushButton>
#include <QWindow>
#include <gtest/gtest.h>

namespace vantrel {
namespace {

class Wayland : public ::testing::Test {
  protected:
    // One compositor and one application for the process (ctest runs each test alone).
    static void SetUpTestSuite() {
        if (!Weston::installed()) {
            return;
        }
        weston = std::make_unique<Weston>();
        if (!weston->ready()) {
            return;
        }
        ::setenv("XDG_RUNTIME_DIR", weston->runtimeFolder().c_str(), 1);
        ::setenv("WAYLAND_DISPLAY", Weston::socket, 1);
        ::setenv("QT_QPA_PLATFORM", "wayland", 1);
        ::unsetenv("DISPLAY");
        static int argc = 1;
        static char name[] = "wayland_tests";
        static char* argv[] = {name, nullptr};
        app = std::make_unique<QApplication>(argc, argv);
    }
    static void TearDownTestSuite() {
        app.reset();
        weston.reset();
    }
    void SetUp() override {
        if (!Weston::installed()) {
            GTEST_SKIP() << "weston is not installed (scripts/install-deps.sh installs it): "
                            "the Wayland session cannot be tried here";
        }
        ASSERT_TRUE(weston->ready()) << weston->error();
        ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("wayland"));
        EXPECT_FALSE(ui::windowsPlaceThemselves());
    }

    static bool exposed(const QWidget& window) {
        return window.isVisible() && window.windowHandle() != nullptr &&
               window.windowHandle()->isExposed();
    }

    static inline std::unique_ptr<Weston> weston;
    static inline std::unique_ptr<QApplication> app;
};

TEST_F(Wayland, TheApplicationStartsAndItsWindowOpensAndCloses) {
    FixtureTree tree; // an empty machine
    const EnvGuard config("XDG_CONFIG_HOME", (tree.root() / "config").c_str());
    const EnvGuard data("XDG_DATA_HOME", (tree.root() / "data").c_str());
    const EnvGuard bus("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus");
    TrayApp tray;
    // Without a tray the window is the application, shown at once.
    QWidget& window = tray.window();
    ASSERT_TRUE(waitFor([&] { return exposed(window); }));
    for (int round = 0; round < 2; ++round) {
        window.close();
        EXPECT_TRUE(waitFor([&] { return !window.isVisible(); }));
        tray.openWindow();
        EXPECT_TRUE(waitFor([&] { return exposed(window); })) << "round " << round;
    }
    window.hide();
}

TEST_F(Wayland, ThePanelShowsAndHidesWhereTheCompositorPutsIt) {
    SystemClock clock;
    ui::AdvisorWindowController controller(clock);
    const TrustRequest requests[] = {
        {"USB port 1-1", {{"Pocket Drive", "Acme", 0x1234, 0x5678, {Capability::storage}, {}}}},
        {"USB port 1-2", {{"USB Device", "Acme", 0x1234, 0x5678, {Capability::input}, {}}}},
    };
    for (const TrustRequest& request : requests) {
        SCOPED_TRACE(request.portName);
        controller.show(request);
        QWidget* panel = controller.panel();
        ASSERT_NE(panel, nullptr);
        ASSERT_TRUE(waitFor([&] { return exposed(*panel); }));
        // Unfolded, the panel takes its new size where it stands.
        const int folded = panel->height();
        controller.view()->moreButton()->click();
        EXPECT_TRUE(waitFor([&] { return panel->height() > folded; }));
        EXPECT_EQ(panel->size(), controller.view()->size());
        controller.hide();
        EXPECT_TRUE(waitFor([&] { return !panel->isVisible(); }));
    }
}

} // namespace
} // namespace vantrel
