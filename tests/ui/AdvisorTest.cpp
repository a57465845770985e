// Tests of the advisor: the view's texts, colours, width, folding and answer buttons, and the
// floating panel's window kind, place in the screen's top-right corner, refit, reuse, hiding,
// dragging and answers.
#include "app/ui/AdvisorView.h"
#include "app/ui/AdvisorWindowController.h"
#include "app/ui/ScoreBadge.h"
#include "app/ui/Style.h"
#include "app/ui/Symbols.h"
#include "tests/ui/UiTestSupport.h"

#include <memory>

#include <QApplication>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <gtest/gtest.h>

namespace vantrel::ui {
namespace {

struct TestClock final : Clock {
    Timestamp now() const override { return testNow; }
};

PendingDevice pending(std::string name, std::int64_t vendorID, std::vector<Capability> caps) {
    return {std::move(name), "Acme", vendorID, 0x5678, std::move(caps), std::nullopt};
}

TrustRequest request(std::vector<PendingDevice> devices) {
    return {"USB-C port 2", devices};
}

const PendingDevice appleKeyboard = pending("Magic Keyboard", 0x05AC, {Capability::input});
const PendingDevice pocketDrive = pending("Pocket Drive", 0x1234, {Capability::storage});
const PendingDevice namelessTyper = pending("USB Device", 0x1234, {Capability::input});

// Whether a label that `root` shows now reads exactly `text`.
bool showsNow(const QWidget* root, const std::string& text) {
    for (const QLabel* label : labels(root)) {
        if (label->isVisibleTo(root) && label->text().toStdString() == text) {
            return true;
        }
    }
    return false;
}

// Runs what is queued, the panel's refit among it.
void settle() {
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::processEvents();
    }
}

// The panel's rectangle with its top-right corner 12 px in from the top-right corner of the
// primary screen's available area.
QRect cornerRect(QSize size) {
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    return {QPoint(area.right() - 12 - size.width() + 1, area.top() + 12), size};
}

// Whether the pixel in the middle of the top edge shows the window colour while the very corner,
// outside the rounding, stays clear.
bool paintsRoundedBackground(QWidget* translucentWindow) {
    const QImage image = translucentWindow->grab().toImage();
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
    return image.pixelColor(image.width() / 2, 4).rgba() == colors().window.rgba();
}

// ---- The view -----------------------------------------------------------------------------------

TEST(AdvisorViewTest, ShowsTheVerdictForTheDeviceThatScoresLowest) {
    using Level = TrustScore::Level;
    struct Case {
        const char* what;
        std::vector<PendingDevice> devices;
        Level level;
        std::string name;
        QColor Colors::*titleColor;
    };
    const PendingDevice markup = pending("<b>Evil</b> Drive", 0x1234, {Capability::storage});
    const PendingDevice reversing = pending("Drive\u202E\u2066", 0x1234, {Capability::storage});
    // Names are isolated, so that a right-to-left one keeps the line around it in its order.
    const auto isolate = [](const std::string& name) { return "\u2068" + name + "\u2069"; };
    const std::vector<Case> cases{
        {"safe", {appleKeyboard}, Level::safe, isolate("Magic Keyboard"), &Colors::primary},
        {"check", {pocketDrive}, Level::check, isolate("Pocket Drive"), &Colors::orange},
        {"danger, generic name", {namelessTyper}, Level::danger, isolate("Keyboard"), &Colors::red},
        {"lowest of two",
         {appleKeyboard, namelessTyper},
         Level::danger,
         isolate("Keyboard"),
         &Colors::red},
        {"markup in the name",
         {markup},
         Level::check,
         isolate("<b>Evil</b> Drive"),
         &Colors::orange},
        {"bidi controls in the name", {reversing}, Level::check, isolate("Drive"), &Colors::orange},
        {"no device yet", {}, Level::check, "A device", &Colors::orange},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const TrustScore trust = Trust::score(request(c.devices), testNow).trust;
        ASSERT_EQ(trust.level, c.level);
        const AdvisorView view(request(c.devices), testNow);

        EXPECT_EQ(view.titleLabel()->text().toStdString(), trust.title);
        EXPECT_EQ(view.nameLabel()->text().toStdString(), c.name);
        EXPECT_EQ(view.nameLabel()->textFormat(), Qt::PlainText);
        EXPECT_EQ(view.summaryLabel()->text().toStdString(), trust.summary);
        EXPECT_EQ(view.adviceLabel()->text().toStdString(), trust.advice);
        EXPECT_TRUE(shows(&view, "VANTREL") && shows(&view, "now"));
        // The title is coloured by level except when safe; the shield and ring always are.
        EXPECT_EQ(view.titleLabel()->palette().color(QPalette::WindowText), colors().*c.titleColor);
        EXPECT_EQ(view.shield()->name(), "shield.lefthalf.filled");
        EXPECT_EQ(view.shield()->color(), levelColor(c.level));
        EXPECT_EQ(view.badge()->score(), trust.score);
        EXPECT_EQ(view.badge()->color(), levelColor(c.level));
    }
}

TEST(AdvisorViewTest, IsExactly360PixelsWideWhateverItShows) {
    for (const bool expanded : {false, true}) {
        for (const std::string& name : {std::string("Pocket Drive"), std::string(300, 'W')}) {
            AdvisorView view(request({pending(name, 0x1234, {})}), testNow, expanded);
            view.show();
            view.resize(600, 400);
            settle();
            EXPECT_EQ(view.sizeHint().width(), 360);
            EXPECT_EQ(view.width(), 360);
        }
    }
}

TEST(AdvisorViewTest, HasACloseButtonOnlyWithADismissAction) {
    const AdvisorView plain(request({pocketDrive}), testNow);
    EXPECT_EQ(plain.closeButton(), nullptr);
    EXPECT_TRUE(named(&plain, "advisorClose").empty());

    int dismissed = 0;
    const AdvisorView closable(request({pocketDrive}), testNow, false, [&] { ++dismissed; });
    ASSERT_NE(closable.closeButton(), nullptr);
    closable.closeButton()->click();
    EXPECT_EQ(dismissed, 1);
}

TEST(AdvisorViewTest, TheFoldButtonFlipsTheDetailsAndItsTextAndAsksForARefit) {
    for (const bool start : {false, true}) {
        SCOPED_TRACE(start);
        int resized = 0;
        AdvisorView view(request({namelessTyper}), testNow, start, {}, [&] { ++resized; });
        view.show();
        const int startHeight = view.sizeHint().height();
        for (int press = 0; press <= 2; ++press) {
            const bool expanded = (press % 2 == 1) != start;
            EXPECT_EQ(view.expanded(), expanded);
            EXPECT_EQ(showsNow(&view, "Who makes it"), expanded);
            EXPECT_EQ(view.moreButton()->text(), expanded ? "See less" : "See more");
            EXPECT_EQ(resized, press);
            if (press == 1) {
                EXPECT_EQ(view.sizeHint().height() > startHeight, expanded);
            }
            view.moreButton()->click();
        }
    }
    AdvisorView withoutActions(request({pocketDrive}), testNow);
    withoutActions.toggle();
    EXPECT_TRUE(withoutActions.expanded());
}

TEST(AdvisorViewTest, AnswerButtonsOnlyWhenGivenTheDefaultFollowingTheVerdict) {
    const struct {
        PendingDevice device;
        bool allowIsDefault;
    } cases[] = {{appleKeyboard, true}, {pocketDrive, false}, {namelessTyper, false}};
    for (const auto& k : cases) {
        SCOPED_TRACE(k.device.name);
        AdvisorView view(request({k.device}), testNow);
        view.show();
        settle();
        const int plainHeight = view.sizeHint().height();
        EXPECT_FALSE(view.answersShown());
        EXPECT_EQ(view.allowButton(), nullptr);

        int allowed = 0;
        int refused = 0;
        view.setAnswers(AdvisorView::Answers{[&] { ++allowed; }, [&] { ++refused; }});
        settle();
        ASSERT_TRUE(view.answersShown());
        QPushButton* allow = view.allowButton();
        QPushButton* refuse = view.refuseButton();
        EXPECT_EQ(allow->text(), "Allow");
        EXPECT_EQ(refuse->text(), "Don\u2019t Allow");
        EXPECT_EQ(allow->isDefault(), k.allowIsDefault);
        EXPECT_EQ(refuse->isDefault(), !k.allowIsDefault);
        // At the bottom right, the refusal first, below the advice.
        view.resize(view.sizeHint());
        settle();
        EXPECT_LT(refuse->geometry().right(), allow->geometry().left());
        EXPECT_EQ(allow->mapTo(&view, QPoint(allow->width(), 0)).x(), 360 - 14);
        EXPECT_GT(refuse->mapTo(&view, QPoint()).y(),
                  view.adviceLabel()->mapTo(&view, QPoint()).y());
        EXPECT_GT(view.sizeHint().height(), plainHeight);

        allow->click();
        refuse->click();
        refuse->click();
        EXPECT_EQ(allowed, 1);
        EXPECT_EQ(refused, 2);

        view.setAnswers(std::nullopt);
        EXPECT_FALSE(view.answersShown());
        EXPECT_EQ(view.sizeHint().height(), plainHeight);
    }
}

TEST(AdvisorViewTest, PaintsItsRoundedBackgroundOnlyWhenAsked) {
    for (const bool rounded : {false, true}) {
        SCOPED_TRACE(rounded);
        QWidget host; // translucent, so that only what the view paints shows
        host.setAttribute(Qt::WA_TranslucentBackground);
        auto* view = new AdvisorView(request({pocketDrive}), testNow, false, {}, {}, &host);
        view->setRoundedBackground(rounded);
        view->resize(view->sizeHint());
        host.resize(view->size());
        EXPECT_EQ(paintsRoundedBackground(&host), rounded);
    }
}

// ---- The panel ----------------------------------------------------------------------------------

class AdvisorWindowTest : public testing::Test {
  protected:
    TestClock clock;
    AdvisorWindowController controller{clock};

    QWidget* showPanel(const PendingDevice& device) {
        controller.show(request({device}));
        settle();
        return controller.panel();
    }
    QPushButton* more() const { return controller.view()->moreButton(); }
};

TEST_F(AdvisorWindowTest, IsAFloatingToolWindowThatTakesNoFocus) {
    EXPECT_EQ(controller.panel(), nullptr);
    const QWidget* panel = showPanel(pocketDrive);
    ASSERT_NE(panel, nullptr);
    const Qt::WindowFlags flags = panel->windowFlags();
    EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Tool);
    EXPECT_TRUE(flags.testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_TRUE(panel->testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_TRUE(panel->testAttribute(Qt::WA_TranslucentBackground));
    EXPECT_EQ(more()->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(controller.view()->closeButton()->focusPolicy(), Qt::NoFocus);
}

TEST_F(AdvisorWindowTest, FirstShowPutsThePanelInTheTopRightCornerFittedToItsContent) {
    QWidget* panel = showPanel(namelessTyper);
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(panel->width(), 360);
    EXPECT_EQ(panel->geometry(), cornerRect(panel->size()));
    EXPECT_EQ(controller.view()->geometry(), panel->rect());
    // Fitted: the lowest part of the content ends 14 px above the panel's bottom edge.
    int lowest = 0;
    for (const QWidget* part :
         std::initializer_list<const QWidget*>{controller.view()->adviceLabel(), more()}) {
        lowest = std::max(lowest, part->mapTo(panel, QPoint(0, part->height())).y());
    }
    EXPECT_EQ(lowest, panel->height() - 14);
    EXPECT_TRUE(paintsRoundedBackground(panel));
}

TEST_F(AdvisorWindowTest, SeeMoreGrowsThePanelDownwardAndSeeLessRestoresIt) {
    const QWidget* panel = showPanel(namelessTyper);
    const QRect folded = panel->geometry();
    more()->click();
    settle();
    const QRect unfolded = panel->geometry();
    EXPECT_GT(unfolded.height(), folded.height());
    EXPECT_EQ(unfolded.topRight(), folded.topRight());
    EXPECT_EQ(controller.view()->size(), unfolded.size());
    more()->click();
    settle();
    EXPECT_EQ(panel->geometry(), folded);
}

TEST_F(AdvisorWindowTest, HiddenByCloseOrHideAndShownAgainFoldedInTheCorner) {
    controller.hide(); // nothing to hide yet
    EXPECT_EQ(controller.panel(), nullptr);
    QWidget* panel = showPanel(namelessTyper);
    more()->click();
    settle();
    panel->move(panel->pos() - QPoint(200, -100));
    controller.view()->closeButton()->click();
    EXPECT_FALSE(panel->isVisible());

    EXPECT_EQ(showPanel(pocketDrive), panel);
    EXPECT_TRUE(panel->isVisible());
    EXPECT_FALSE(controller.view()->expanded());
    EXPECT_EQ(more()->text(), "See more");
    EXPECT_EQ(panel->geometry(), cornerRect(controller.view()->sizeHint()));

    controller.hide();
    EXPECT_EQ(controller.panel(), panel);
    EXPECT_FALSE(panel->isVisible());
}

TEST_F(AdvisorWindowTest, ARequestWhileShownReusesThePanelWithTheNewContent) {
    QWidget* panel = showPanel(pocketDrive);
    const AdvisorView* first = controller.view();
    EXPECT_EQ(showPanel(appleKeyboard), panel);
    EXPECT_NE(controller.view(), first);
    int visibleWindows = 0;
    for (const QWidget* w : QApplication::topLevelWidgets()) {
        visibleWindows += w->isVisible() && w->windowType() == Qt::Tool ? 1 : 0;
    }
    EXPECT_EQ(visibleWindows, 1);
    EXPECT_TRUE(shows(panel, "\u2068Magic Keyboard\u2069"));
    EXPECT_FALSE(shows(panel, "\u2068Pocket Drive\u2069"));
    EXPECT_EQ(panel->geometry(), cornerRect(controller.view()->sizeHint()));
}

TEST_F(AdvisorWindowTest, DraggingTheBackgroundMovesThePanel) {
    QWidget* panel = showPanel(pocketDrive);
    AdvisorView* view = controller.view();
    const QPoint start = panel->pos();
    // A point in the view's margin, where no part takes the mouse: the press reaches the panel.
    const QPointF local(4, 4);
    const QPointF global = view->mapToGlobal(local);
    const QPointF delta(-40, 25);
    const auto send = [&](QEvent::Type type, QPointF offset, Qt::MouseButton button,
                          Qt::MouseButtons held) {
        QMouseEvent event(type, local + offset, global + offset, button, held, Qt::NoModifier);
        QApplication::sendEvent(view, &event);
    };
    send(QEvent::MouseButtonPress, {}, Qt::LeftButton, Qt::LeftButton);
    send(QEvent::MouseMove, delta, Qt::NoButton, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, delta, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(panel->pos(), start + delta.toPoint());
}

TEST_F(AdvisorWindowTest, AnswersFollowWhetherThePromptCanBeAnsweredAndReachTheAnswerer) {
    bool available = false;
    int allowed = 0;
    int refused = 0;
    controller.setAnswers({.available = [&] { return available; },
                           .allow = [&] { ++allowed; },
                           .refuse = [&] { ++refused; }});
    QWidget* panel = showPanel(pocketDrive);
    EXPECT_FALSE(controller.view()->answersShown());
    const QRect without = panel->geometry();

    // Becoming answerable while shown: the buttons appear and the panel grows downward.
    available = true;
    controller.updateAnswers();
    settle();
    ASSERT_TRUE(controller.view()->answersShown());
    EXPECT_GT(panel->height(), without.height());
    EXPECT_EQ(panel->geometry().topRight(), without.topRight());
    EXPECT_EQ(controller.view()->allowButton()->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(controller.view()->refuseButton()->focusPolicy(), Qt::NoFocus);
    controller.view()->allowButton()->click();
    controller.view()->refuseButton()->click();
    EXPECT_EQ(allowed, 1);
    EXPECT_EQ(refused, 1);

    // A new request asks again; no longer answerable, the buttons go.
    showPanel(namelessTyper);
    EXPECT_TRUE(controller.view()->answersShown());
    available = false;
    controller.updateAnswers();
    settle();
    EXPECT_FALSE(controller.view()->answersShown());
    EXPECT_EQ(panel->geometry(), cornerRect(controller.view()->sizeHint()));
}

TEST(AdvisorWindowLifetimeTest, ARefitQueuedAfterTheControllerIsGoneDoesNothing) {
    const TestClock clock;
    auto controller = std::make_unique<AdvisorWindowController>(clock);
    controller->show(request({pocketDrive}));
    controller->view()->moreButton()->click(); // queues the refit
    controller.reset();
    settle(); // must neither crash nor touch the destroyed panel
}

} // namespace
} // namespace vantrel::ui
