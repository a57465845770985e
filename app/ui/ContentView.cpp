#include "app/ui/ContentView.h"

#include "app/engine/Monitor.h"
#include "app/ui/Blocks.h"
#include "app/ui/CardText.h"
#include "app/ui/ControlEdges.h"
#include "app/ui/DeveloperBody.h"
#include "app/ui/InPlace.h"
#include "app/ui/Style.h"
#include "app/ui/Symbols.h"
#include "core/PlatformText.h"

#include <algorithm>
#include <cstdint>
#include <set>
#include <utility>

#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QThreadPool>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace vantrel::ui {
namespace {

QFrame* divider() {
    auto* line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setFixedHeight(1);
    QPalette palette = line->palette();
    palette.setColor(QPalette::WindowText, faded(colors().primary, 0.12));
    line->setPalette(palette);
    return line;
}

QVBoxLayout* column(QWidget* owner, int margin, int spacing) {
    auto* layout = new QVBoxLayout(owner);
    layout->setContentsMargins(margin, margin, margin, margin);
    layout->setSpacing(spacing);
    return layout;
}

// The big shield of a header with the two lines beside it.
QHBoxLayout* verdict(const std::string& symbol, QColor color, const std::string& headline,
                     const std::string& caption) {
    auto* row = new QHBoxLayout;
    row->setSpacing(10);
    auto* shield = new SymbolView(symbol, color, 28);
    shield->setObjectName(QStringLiteral("shield"));
    row->addWidget(shield, 0, Qt::AlignVCenter);
    auto* lines = new QVBoxLayout;
    lines->setSpacing(2);
    QLabel* head = textLabel(headline, ui::font(TextStyle::headline), colors().primary);
    head->setObjectName(QStringLiteral("headline"));
    lines->addWidget(head);
    QLabel* sub = textLabel(caption, ui::font(TextStyle::caption), colors().secondary);
    sub->setObjectName(QStringLiteral("caption"));
    lines->addWidget(sub);
    row->addLayout(lines);
    row->addStretch(1);
    return row;
}

// The orange hint shown while the guard is wanted but may not read the keyboards.
QLabel* permissionHint(const char* guardName) {
    QLabel* hint = textLabel(std::string(guardName) + " needs permission: " +
                                 std::string(PlatformText::inputPermissionPlace),
                             ui::font(TextStyle::caption), colors().orange, /*wrap=*/true);
    hint->setObjectName(QStringLiteral("permissionHint"));
    return hint;
}

QAction* checkItem(QMenu* menu, const char* text, bool checked, std::function<void(bool)> set) {
    QAction* action = menu->addAction(QString::fromUtf8(text));
    action->setCheckable(true);
    action->setChecked(checked);
    QObject::connect(action, &QAction::toggled, menu, std::move(set));
    return action;
}

QCheckBox* checkBox(const char* text, bool checked, const char* help,
                    std::function<void(bool)> set) {
    auto* box = new QCheckBox(QString::fromUtf8(text));
    box->setStyle(controlStyle());
    box->setFont(ui::font(TextStyle::callout));
    box->setChecked(checked);
    if (help != nullptr) {
        box->setToolTip(QString::fromUtf8(help));
    }
    QObject::connect(box, &QCheckBox::toggled, box, std::move(set));
    return box;
}

// The height of `body`'s content at `width`.
int contentHeight(QWidget* body, int width) {
    return body->hasHeightForWidth() ? body->heightForWidth(width) : body->sizeHint().height();
}

// Fixes `body` at `width`, or, when its content is taller than `limit`, at `width` less the
// scroll bar's; the height to show it at: as tall as its content, up to the limit, past which it
// scrolls.
int fitted(QWidget* body, int width, int limit, int scrollBar) {
    int height = contentHeight(body, width);
    if (height > limit) {
        width -= scrollBar;
        height = limit;
    }
    body->setFixedWidth(width);
    return height;
}

} // namespace

ContentView::ContentView(Monitor& monitor, Hooks hooks, bool developerOverride, bool expandFlagged,
                         QWidget* parent)
    : QWidget(parent), monitor_(monitor), hooks_(std::move(hooks)),
      developerOverride_(developerOverride), unfolded_{{}, expandFlagged},
      layout_(new QVBoxLayout(this)) {
    setWindowTitle(QStringLiteral("Vantrel"));
    setKeepRunning(std::nullopt);
    layout_->setContentsMargins(0, 0, 0, 0);
    layout_->setSpacing(0);
    scroll_ = new QScrollArea;
    scroll_->setObjectName(QStringLiteral("body"));
    scroll_->setWidgetResizable(true);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    scroll_->verticalScrollBar()->setStyle(controlStyle());
    // The body shows the window's own background, like the header and the footer.
    scroll_->viewport()->setAutoFillBackground(false);
    // The view may go before the Monitor, so its observer checks the view is still there. The
    // redraw is queued: a change often comes from a control of this very view, which must not
    // be deleted while it reports its click; and a burst of changes is drawn once. A hidden view
    // only remembers what changed, and draws it when it shows.
    monitor_.observe([view = QPointer<ContentView>(this)](Changes changes) {
        if (!view) {
            return;
        }
        const bool queued = view->pending_.any();
        view->pending_.add(changes);
        if (!queued && view->isVisible()) {
            QTimer::singleShot(0, view, [view] {
                if (view && view->pending_.any() && view->isVisible()) {
                    view->redrawChanged();
                }
            });
        }
    });
    redraw();
}

bool ContentView::developerLayout() const {
    return developerOverride_ || monitor_.developerMode();
}

void ContentView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (pending_.any()) {
        redrawChanged();
    }
}

void ContentView::redraw() {
    pending_.add(Changes::all());
    redrawChanged();
}

namespace {

// What the headers show: the devices and their scores, the inputs, what waits for review.
constexpr Changes headerParts = Changes::of(Changes::usb, Changes::inputs, Changes::events);
// What the footers show, and the layout itself: a change of these redraws everything.
constexpr Changes wholeParts = Changes::of(Changes::switches, Changes::policy);

} // namespace

void ContentView::redrawChanged() {
    // Rebuilding would close a menu the user is reading; draw once it is closed.
    if (QApplication::activePopupWidget() != nullptr) {
        QTimer::singleShot(250, this, [this] {
            if (pending_.any() && isVisible()) {
                redrawChanged();
            }
        });
        return;
    }
    const Changes changes = std::exchange(pending_, {});
    const bool developer = developerLayout();
    if (header_ != nullptr && developer == drawnDeveloper_ && !changes.touches(wholeParts)) {
        if (changes.touches(headerParts)) {
            QWidget* header = developer ? developerHeader() : simpleHeader();
            replaceInPlace(layout_, std::exchange(header_, header), header);
        }
        // The rows and cards of what changed.
        const int scrolled = scroll_->verticalScrollBar()->value();
        dropGoneRows();
        setBody(refreshedBody(changes, developer), developer);
        scroll_->verticalScrollBar()->setValue(scrolled);
        adjustSize();
        return;
    }
    drawnDeveloper_ = developer;
    const int scrolled = scroll_->verticalScrollBar()->value();

    dropGoneRows();

    while (QLayoutItem* item = layout_->takeAt(0)) {
        if (item->widget() != scroll_) {
            delete item->widget();
        }
        delete item;
    }
    header_ = developer ? developerHeader() : simpleHeader();
    QWidget* body = developer ? new DeveloperBody(monitor_, monitor_.now()) : simpleBody();
    footer_ = developer ? developerFooter() : simpleFooter();

    setFixedWidth(developer ? developerWidth : simpleWidth);
    setBody(body, developer);
    adjustSize();

    layout_->addWidget(header_);
    layout_->addWidget(divider());
    layout_->addWidget(scroll_);
    layout_->addWidget(divider());
    layout_->addWidget(footer_);
    scroll_->verticalScrollBar()->setValue(scrolled);
    adjustSize();
}

void ContentView::dropGoneRows() {
    // Rows that went away forget that they were unfolded.
    std::set<std::uint64_t> present;
    for (const USBDevice& device : monitor_.usb()) {
        present.insert(device.id);
    }
    std::erase_if(unfolded_.ids, [&](std::uint64_t id) { return !present.contains(id); });
}

void ContentView::setBody(QWidget* body, bool developer) {
    const int width = developer ? developerWidth : simpleWidth;
    const bool kept = scroll_->widget() == body;
    if (!kept) {
        delete scroll_->takeWidget();
    }
    // Fitted before the scroll area takes it, and made as tall as its content at its width: the
    // scroll area would otherwise lay all of it out at its size hint first, and then again at
    // every other size on the way.
    const int scrollBar =
        style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, scroll_->verticalScrollBar());
    scroll_->setFixedHeight(
        fitted(body, width, developer ? developerBodyLimit : simpleBodyLimit, scrollBar));
    body->resize(body->width(), contentHeight(body, body->width()));
    if (!kept) {
        scroll_->setWidget(body);
        body->setAutoFillBackground(false); // setWidget turned it on
    }
}

void ContentView::fitBody() {
    QWidget* body = scroll_->widget();
    if (body == nullptr) {
        return;
    }
    const bool developer = developerLayout();
    const int scrollBar =
        style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, scroll_->verticalScrollBar());
    scroll_->setFixedHeight(fitted(body, developer ? developerWidth : simpleWidth,
                                   developer ? developerBodyLimit : simpleBodyLimit, scrollBar));
    adjustSize();
}

QWidget* ContentView::simpleHeader() {
    const auto devices = monitor_.everydayDevices();
    std::size_t flagged = 0;
    std::optional<TrustScore> worst;
    for (const USBDevice& device : devices) {
        const TrustScore trust = monitor_.trust(device);
        flagged += trust.level != TrustScore::Level::safe ? 1 : 0;
        if (!worst || trust.score < worst->score) {
            worst = trust;
        }
    }
    auto* header = new QWidget;
    header->setObjectName(QStringLiteral("header"));
    auto* layout = column(header, 12, 0);
    const Colors& c = colors();
    if (flagged == 0) {
        layout->addLayout(verdict("checkmark.shield.fill", c.green, "All clear",
                                  devices.empty()
                                      ? "Nothing plugged in"
                                      : counted(devices.size(), "device") + " plugged in"));
    } else {
        layout->addLayout(verdict("exclamationmark.shield.fill",
                                  worst ? levelColor(worst->level) : c.orange,
                                  counted(flagged, "device") + " to check",
                                  counted(devices.size(), "device") + " plugged in"));
    }
    return header;
}

QWidget* ContentView::developerHeader() {
    const auto unreviewed = monitor_.unreviewed();
    const std::size_t external =
        std::count_if(monitor_.inputs().begin(), monitor_.inputs().end(),
                      [](const InputDevice& input) { return !input.builtIn; });
    auto* header = new QWidget;
    header->setObjectName(QStringLiteral("header"));
    auto* layout = column(header, 12, 0);
    const Colors& c = colors();
    const std::string caption = std::to_string(monitor_.usb().size()) + " USB devices \u00B7 " +
                                std::to_string(external) + " external keyboards/mice \u00B7 live";
    QHBoxLayout* row = unreviewed.empty()
                           ? verdict("checkmark.shield.fill", c.green, "All clear", caption)
                           : verdict("exclamationmark.shield.fill", c.orange,
                                     counted(unreviewed.size(), "thing") + " to review", caption);
    if (!unreviewed.empty()) {
        auto* reviewed = new QPushButton(QStringLiteral("Mark reviewed"));
        reviewed->setObjectName(QStringLiteral("markReviewed"));
        connect(reviewed, &QPushButton::clicked, this, [this] { monitor_.markAllReviewed(); });
        row->addWidget(reviewed, 0, Qt::AlignVCenter);
    }
    layout->addLayout(row);
    return header;
}

QWidget* ContentView::simpleBody() {
    // The body grows or shrinks with a row that folds or unfolds.
    return new SimpleBody(monitor_, unfolded_,
                          [this] { QTimer::singleShot(0, this, [this] { fitBody(); }); });
}

QWidget* ContentView::refreshedBody(Changes changes, bool developer) {
    QWidget* shown = scroll_->widget();
    if (auto* cards = dynamic_cast<DeveloperBody*>(shown); cards != nullptr && developer) {
        cards->refresh(changes, monitor_.now());
        return cards;
    }
    if (auto* rows = dynamic_cast<SimpleBody*>(shown);
        rows != nullptr && !developer && rows->refresh(changes)) {
        return rows;
    }
    return developer ? new DeveloperBody(monitor_, monitor_.now()) : simpleBody();
}

QWidget* ContentView::simpleFooter() {
    auto* footer = new QWidget;
    footer->setObjectName(QStringLiteral("footer"));
    auto* layout = column(footer, 10, 6);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    auto* gear = new QToolButton;
    gear->setObjectName(QStringLiteral("settings"));
    gear->setIcon(symbolIcon("gearshape", colors().secondary));
    gear->setAutoRaise(true);
    gear->setPopupMode(QToolButton::InstantPopup);
    gear->setStyleSheet(QStringLiteral("QToolButton::menu-indicator { image: none; width: 0; }"));
    gear->setAccessibleName(QStringLiteral("Settings"));
    auto* menu = new QMenu(gear);
    checkItem(menu, "Always running", keepRunning_, [this](bool on) { setKeepRunning(on); });
    checkItem(menu, "Pause devices that overstep", monitor_.autoPause(),
              [this](bool on) { monitor_.setAutoPause(on); });
    checkItem(menu, "Typing guard", monitor_.keystrokeGuardOn(),
              [this](bool on) { monitor_.setKeystrokeGuard(on); });
    if (monitor_.mayHoldWhileLocked()) {
        checkItem(menu, "Hold new devices while locked", monitor_.holdWhileLocked(),
                  [this](bool on) { monitor_.setHoldWhileLocked(on); });
    }
    menu->addSeparator();
    checkItem(menu, "Developer mode", monitor_.developerMode(),
              [this](bool on) { monitor_.setDeveloperMode(on); });
    menu->addSeparator();
    connect(menu->addAction(QStringLiteral("Quit Vantrel")), &QAction::triggered, this, [this] {
        if (hooks_.quit) {
            hooks_.quit();
        }
    });
    gear->setMenu(menu);
    row->addWidget(gear);
    layout->addLayout(row);
    if (monitor_.keystrokeGuardPreferred() && !monitor_.inputMonitoringPermitted()) {
        layout->addWidget(permissionHint("Typing guard"));
    }
    return footer;
}

QWidget* ContentView::developerFooter() {
    auto* footer = new QWidget;
    footer->setObjectName(QStringLiteral("footer"));
    auto* layout = column(footer, 10, 8);
    auto* toggles = new QHBoxLayout;
    toggles->setSpacing(14);
    toggles->addWidget(checkBox(
        "Always running", keepRunning_,
        "Starts at login and restarts automatically if Vantrel ever crashes. Quit still stops it.",
        [this](bool on) { setKeepRunning(on); }));
    toggles->addWidget(checkBox(
        "Auto-pause", monitor_.autoPause(),
        "When a trusted device goes beyond what you allowed: lock the screen for a surprise "
        "keyboard, eject its disks, and offer to turn off its network adapter.",
        [this](bool on) { monitor_.setAutoPause(on); }));
    const std::string guardHelp = "Spots a new keyboard typing faster than a person. " +
                                  std::string(PlatformText::inputPermissionNeed) +
                                  " Counts key presses only; never records which keys.";
    toggles->addWidget(checkBox("Keystroke guard", monitor_.keystrokeGuardOn(), guardHelp.c_str(),
                                [this](bool on) { monitor_.setKeystrokeGuard(on); }));
    toggles->addStretch(1);
    layout->addLayout(toggles);
    if (monitor_.keystrokeGuardPreferred() && !monitor_.inputMonitoringPermitted()) {
        layout->addWidget(permissionHint("Keystroke guard"));
    }
    auto* row = new QHBoxLayout;
    row->addWidget(checkBox("Developer mode", monitor_.developerMode(), nullptr,
                            [this](bool on) { monitor_.setDeveloperMode(on); }));
    row->addStretch(1);
    auto* information = new QPushButton(QStringLiteral("System Information"));
    information->setFont(ui::font(TextStyle::callout));
    connect(information, &QPushButton::clicked, this, [this] {
        if (hooks_.systemInformation) {
            hooks_.systemInformation();
        }
    });
    row->addWidget(information);
    auto* quit = new QPushButton(QStringLiteral("Quit"));
    quit->setFont(ui::font(TextStyle::callout));
    connect(quit, &QPushButton::clicked, this, [this] {
        if (hooks_.quit) {
            hooks_.quit();
        }
    });
    row->addWidget(quit);
    layout->addLayout(row);
    return footer;
}

void ContentView::setKeepRunning(std::optional<bool> on) {
    if (!hooks_.keepAliveEnabled && !hooks_.setKeepAlive) {
        return;
    }
    // The switch shows what the agent reports after the change, not what was asked.
    QThreadPool::globalInstance()->start([view = QPointer<ContentView>(this), on,
                                          enabled = hooks_.keepAliveEnabled,
                                          set = hooks_.setKeepAlive] {
        if (on && set) {
            set(*on);
        }
        const bool running = enabled && enabled();
        QMetaObject::invokeMethod(
            qApp,
            [view, running] {
                if (view) {
                    view->keepRunning_ = running;
                    view->redraw();
                }
            },
            Qt::QueuedConnection);
    });
}

} // namespace vantrel::ui
