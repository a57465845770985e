// The developer layout's cards: the pending prompt's advisor, then one card per thing the Monitor
// watches (review, USB devices, keyboards and mice, ports, network, activity), each built afresh;
// the USB card can also make anew only those of its rows that would look different.
#include "app/ui/DeveloperCards.h"

#include "app/engine/Joined.h"
#include "app/engine/Monitor.h"
#include "app/ui/AdvisorView.h"
#include "app/ui/Blocks.h"
#include "app/ui/CardText.h"
#include "app/ui/DeveloperBody.h"
#include "app/ui/DeviceMenu.h"
#include "app/ui/InPlace.h"
#include "app/ui/Style.h"
#include "core/Displayable.h"
#include "core/TrustRequest.h"

#include <algorithm>
#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

namespace vantrel::ui {
namespace {

QString name(const std::string& prefix, const std::string& id) {
    return QString::fromStdString(prefix + ":" + id);
}

// A filled circle of 7 × 7, the state light of a port or an interface; its colour is also its
// "color" property.
class Dot final : public QWidget {
  public:
    explicit Dot(QColor color) : color_(color) {
        setObjectName(QStringLiteral("dot"));
        setProperty("color", color);
        setFixedSize(7, 7);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(color_);
        p.drawEllipse(QRectF(rect()));
    }

  private:
    QColor color_;
};

// One line of plain text that never widens its row: cut with an ellipsis when short of room.
class OneLineLabel final : public QLabel {
  public:
    OneLineLabel(const std::string& text, QFont font, QColor color) {
        setTextFormat(Qt::PlainText);
        setText(QString::fromStdString(text));
        setFont(font);
        QPalette palette = this->palette();
        palette.setColor(QPalette::WindowText, color);
        setPalette(palette);
        setWordWrap(false);
    }
    // Measured once per text and font, as a redraw makes every row afresh.
    QSize sizeHint() const override { return lineSize(text(), font()); }
    QSize minimumSizeHint() const override { return {0, sizeHint().height()}; }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setFont(font());
        p.setPen(palette().color(QPalette::WindowText));
        const QRect box = contentsRect();
        const QString shown = fontMetrics().elidedText(text(), Qt::ElideRight, box.width());
        p.drawText(box, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
    }
};

// A thin rule across the card, with 2 px of room above and below.
class Divider final : public QWidget {
  public:
    Divider() {
        setObjectName(QStringLiteral("divider"));
        setFixedHeight(1 + 2 * 2);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(QRect(0, 2, width(), 1), faded(colors().primary, 0.12));
    }
};

QVBoxLayout* column(int spacing) {
    auto* layout = new QVBoxLayout;
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    return layout;
}

QHBoxLayout* row(QWidget* owner, int spacing) {
    auto* layout = new QHBoxLayout(owner);
    layout->setContentsMargins(0, 0, 0, 0);
    if (spacing >= 0) {
        layout->setSpacing(spacing);
    }
    return layout;
}

Card* card(const std::string& title, const std::optional<std::string>& detail) {
    auto* c = new Card(title, detail);
    c->setObjectName(name("card", title));
    return c;
}

QWidget* eventRow(const Event& event) {
    auto* r = new EventRow(event);
    r->setObjectName(name("event", event.id));
    return r;
}

// ---- Needs review -----------------------------------------------------------------------------

QWidget* reviewCard(const std::vector<Event>& unreviewed) {
    Card* c = card("Needs review", std::nullopt);
    for (const Event& e : unreviewed) {
        c->content()->addWidget(eventRow(e));
    }
    return c;
}

// ---- USB devices ------------------------------------------------------------------------------

std::optional<std::pair<std::string, QColor>> statusChip(const Monitor& monitor,
                                                         const USBDevice& device) {
    if (device.blocked) {
        return std::pair{std::string(monitor.trustRequest() ? "Waiting for you" : "Not allowed"),
                         colors().blue};
    }
    if (monitor.outOfScope().contains(deviceKey(device))) {
        return std::pair{std::string("Out of scope"), colors().red};
    }
    return std::nullopt;
}

// Everything a device's row shows: two rows of equal looks are drawn alike. Its menu reads the
// prompt and the devices out of scope only when first opened; a change of those makes the whole
// card anew.
struct UsbLook {
    USBDevice device;
    std::optional<std::string> activity;
    std::optional<std::pair<std::string, QColor>> status;
    friend bool operator==(const UsbLook&, const UsbLook&) = default;
};

UsbLook usbLook(const Monitor& monitor, const USBDevice& device) {
    UsbLook look{device, std::nullopt, statusChip(monitor, device)};
    if (const auto activity = monitor.activity().find(device.id);
        activity != monitor.activity().end()) {
        look.activity = activity->second;
    }
    return look;
}

class UsbRow final : public QWidget {
  public:
    UsbRow(Monitor& monitor, UsbLook look);
    const UsbLook& look() const { return look_; }

  private:
    UsbLook look_;
};

UsbRow::UsbRow(Monitor& monitor, UsbLook look) : look_(std::move(look)) {
    const Colors& c = colors();
    const USBDevice& device = look_.device;
    setObjectName(name("usb", std::to_string(device.id)));
    QHBoxLayout* layout = row(this, 9);
    layout->setContentsMargins(16 * std::max(0, hubDepth(device.locationID) - 1), 0, 0, 0);

    layout->addWidget(new DeviceIcon(symbol(device), capabilityColor(device.caps)), 0,
                      Qt::AlignVCenter);

    QVBoxLayout* text = column(1);
    // A long name or vendor (a device names itself) is cut short with "…" rather than widening
    // the row; the ids after the vendor always show whole.
    text->addWidget(
        new OneLineLabel(isolated(device.name), ui::font(TextStyle::callout), c.primary));
    auto* vendorLine = new QHBoxLayout;
    vendorLine->setSpacing(0);
    vendorLine->addWidget(
        new OneLineLabel(isolated(device.vendor), ui::font(TextStyle::caption), c.secondary));
    QLabel* ids = textLabel(" \u00B7 " + usbIDString(device.vendorID, device.productID),
                            ui::font(TextStyle::caption), c.secondary);
    ids->setObjectName(QStringLiteral("ids"));
    vendorLine->addWidget(ids);
    vendorLine->addStretch(1);
    text->addLayout(vendorLine);
    if (look_.activity) {
        auto* line = new OneLineLabel(*look_.activity, ui::font(TextStyle::caption2), c.blue);
        line->setObjectName(QStringLiteral("activity"));
        text->addWidget(line);
    }
    layout->addLayout(text, 1);
    layout->addSpacing(6);

    if (const auto& status = look_.status) {
        auto* chip = new Chip(status->first, status->second);
        chip->setObjectName(QStringLiteral("status"));
        layout->addWidget(chip, 0, Qt::AlignVCenter);
    }
    for (const Capability capability : device.caps) {
        if (capability != Capability::hub) {
            layout->addWidget(
                new Chip(std::string(capability.rawValue()), capabilityColor(capability)), 0,
                Qt::AlignVCenter);
        }
    }
    if (!device.blocked) {
        layout->addWidget(new DeviceMenu(monitor, device), 0, Qt::AlignVCenter);
    }
}

QWidget* usbCard(Monitor& monitor) {
    const auto& devices = monitor.usb();
    Card* c = card("USB devices", std::to_string(devices.size()));
    if (devices.empty()) {
        c->content()->addWidget(
            textLabel("Nothing connected over USB", font(TextStyle::caption), colors().secondary));
    }
    for (const USBDevice& device : devices) {
        c->content()->addWidget(new UsbRow(monitor, usbLook(monitor, device)));
    }
    return c;
}

// The rows of `card`, a USB card, top to bottom; none unless they are those of `devices`.
std::optional<std::vector<UsbRow*>> usbRows(const QWidget* card,
                                            const std::vector<USBDevice>& devices) {
    const auto* c = dynamic_cast<const Card*>(card);
    if (c == nullptr || devices.empty() ||
        c->content()->count() != static_cast<int>(devices.size())) {
        return std::nullopt;
    }
    std::vector<UsbRow*> rows;
    for (const USBDevice& device : devices) {
        auto* r =
            dynamic_cast<UsbRow*>(c->content()->itemAt(static_cast<int>(rows.size()))->widget());
        if (r == nullptr || r->look().device.id != device.id) {
            return std::nullopt;
        }
        rows.push_back(r);
    }
    return rows;
}

// ---- Keyboards & mice -------------------------------------------------------------------------

QWidget* inputRow(const InputDevice& device) {
    const Colors& c = colors();
    auto* r = new QWidget;
    r->setObjectName(name("input", device.key()));
    QHBoxLayout* layout = row(r, 9);
    layout->addWidget(new DeviceIcon(device.kind == "Keyboard" ? "keyboard" : "computermouse",
                                     device.builtIn ? c.secondary : c.orange),
                      0, Qt::AlignVCenter);
    QVBoxLayout* text = column(1);
    text->addWidget(textLabel(isolated(device.name), font(TextStyle::callout), c.primary));
    text->addWidget(textLabel(device.kind + " \u00B7 " + device.transport, font(TextStyle::caption),
                              c.secondary));
    layout->addLayout(text);
    layout->addStretch(1);
    layout->addWidget(device.builtIn ? new Chip("Built-in", c.secondary)
                                     : new Chip("External", c.orange),
                      0, Qt::AlignVCenter);
    return r;
}

QWidget* inputCard(const Monitor& monitor) {
    const auto& inputs = monitor.inputs();
    Card* c = card("Keyboards & mice", std::to_string(inputs.size()));
    for (const InputDevice& device : inputs) {
        c->content()->addWidget(inputRow(device));
    }
    return c;
}

// ---- Ports ------------------------------------------------------------------------------------

QWidget* portRow(const PortInfo& port) {
    const Colors& c = colors();
    auto* r = new QWidget;
    r->setObjectName(name("port", port.id));
    QHBoxLayout* layout = row(r, -1);
    layout->addWidget(new Dot(port.connected ? c.green : faded(c.secondary, 0.4)), 0,
                      Qt::AlignVCenter);
    layout->addWidget(textLabel(port.name, font(TextStyle::callout), c.primary));
    layout->addStretch(1);
    auto* detail = textLabel(portDetail(port), font(TextStyle::caption), c.secondary);
    detail->setObjectName(QStringLiteral("detail"));
    layout->addWidget(detail);
    return r;
}

QWidget* portCard(const Monitor& monitor) {
    Card* c = card("Ports", std::nullopt);
    for (const PortInfo& port : monitor.ports()) {
        c->content()->addWidget(portRow(port));
    }
    return c;
}

// ---- Network ----------------------------------------------------------------------------------

QWidget* netBlock(const NetInterface& net) {
    const Colors& c = colors();
    auto* block = new QWidget;
    block->setObjectName(name("net", net.id));
    auto* lines = new QVBoxLayout(block);
    lines->setContentsMargins(0, 0, 0, 0);
    lines->setSpacing(2);

    auto* head = new QHBoxLayout;
    head->setContentsMargins(0, 0, 0, 0);
    head->setSpacing(6);
    head->addWidget(new Dot(net.active ? c.green : faded(c.secondary, 0.4)), 0, Qt::AlignVCenter);
    head->addWidget(textLabel(net.name, font(TextStyle::callout), c.primary));
    head->addWidget(textLabel(net.id, font(TextStyle::caption), c.secondary));
    if (net.isUSB) {
        head->addWidget(new Chip("USB", c.orange), 0, Qt::AlignVCenter);
    }
    if (net.isPrimary) {
        head->addWidget(new Chip("In use", c.blue), 0, Qt::AlignVCenter);
    }
    head->addStretch(1);
    lines->addLayout(head);

    // Moved in by the dot and the space after it, so that it lines up with the name.
    auto* detailLine = new QHBoxLayout;
    detailLine->setContentsMargins(7 + 6, 0, 0, 0);
    auto* detail = textLabel(networkDetail(net), font(TextStyle::caption), c.secondary);
    detail->setObjectName(QStringLiteral("detail"));
    detailLine->addWidget(detail);
    lines->addLayout(detailLine);

    if (!net.active) {
        auto* dimmed = new QGraphicsOpacityEffect(block);
        dimmed->setOpacity(0.6);
        block->setGraphicsEffect(dimmed);
    }
    return block;
}

QWidget* networkCard(const Monitor& monitor) {
    Card* c = card("Network", std::nullopt);
    for (const NetInterface& net : monitor.nets()) {
        c->content()->addWidget(netBlock(net));
    }
    c->content()->addWidget(new Divider);

    const NetConfig& config = monitor.config();
    const auto info = [&](const char* label, std::string value, bool warn) {
        auto* r = new InfoRow(label, value, warn);
        r->setObjectName(name("info", label));
        c->content()->addWidget(r);
    };
    info("Router", config.router.value_or("None"), false);
    info("DNS", config.dns.empty() ? "None" : joined(config.dns, ", "), false);
    info("Proxy", config.proxies.empty() ? "None" : joined(config.proxies, "; "),
         !config.proxies.empty());
    return c;
}

// ---- Activity ---------------------------------------------------------------------------------

QWidget* activityCard(const Monitor& monitor) {
    const auto& events = monitor.events();
    Card* c = card("Activity", "saved across restarts");
    if (events.empty()) {
        c->content()->addWidget(
            textLabel("Nothing yet", font(TextStyle::caption), colors().secondary));
    }
    const std::size_t shown = std::min(events.size(), static_cast<std::size_t>(activityLimit));
    for (std::size_t i = 0; i < shown; ++i) {
        c->content()->addWidget(eventRow(events[i]));
    }
    return c;
}

// ---- The prompt's advisor ---------------------------------------------------------------------

QWidget* advisorPanel(Monitor& monitor, Timestamp now) {
    const auto& request = monitor.trustRequest();
    if (!request) {
        return nullptr;
    }
    auto* panel = new RoundedPanel(faded(colors().primary, 0.05), 10, 0, 0);
    panel->setObjectName(QStringLiteral("advisor"));
    // A row with trailing space rather than an alignment: the layout then asks the advisor for
    // its height at the width it really gets.
    auto* leading = new QHBoxLayout;
    leading->setContentsMargins(0, 0, 0, 0);
    auto* advice = new AdvisorView(*request, now);
    if (monitor.canAllow()) {
        advice->setAnswers(AdvisorView::Answers{[&monitor] { monitor.allowPrompt(); },
                                                [&monitor] { monitor.refusePrompt(); }});
    }
    leading->addWidget(advice);
    leading->addStretch(1);
    panel->content()->addLayout(leading);
    return panel;
}

} // namespace

QWidget* developerCard(Monitor& monitor, DeveloperCard card, Timestamp now) {
    switch (card) {
    case DeveloperCard::advisor:
        return advisorPanel(monitor, now);
    case DeveloperCard::review: {
        const auto unreviewed = monitor.unreviewed();
        return unreviewed.empty() ? nullptr : reviewCard(unreviewed);
    }
    case DeveloperCard::usb:
        return usbCard(monitor);
    case DeveloperCard::input:
        return inputCard(monitor);
    case DeveloperCard::port:
        return portCard(monitor);
    case DeveloperCard::network:
        return networkCard(monitor);
    case DeveloperCard::activity:
        return activityCard(monitor);
    }
    return nullptr;
}

bool refreshUsbRows(QWidget* card, Monitor& monitor) {
    const auto rows = usbRows(card, monitor.usb());
    if (!rows) {
        return false;
    }
    auto* content = static_cast<Card*>(card)->content();
    for (std::size_t i = 0; i < rows->size(); ++i) {
        UsbLook look = usbLook(monitor, monitor.usb()[i]);
        if ((*rows)[i]->look() != look) {
            replaceInPlace(content, (*rows)[i], new UsbRow(monitor, std::move(look)));
        }
    }
    return true;
}

QWidget* developerBody(Monitor& monitor, Timestamp now) {
    return new DeveloperBody(monitor, now);
}

QWidget* developerBody(Monitor& monitor) {
    return developerBody(monitor, monitor.now());
}

} // namespace vantrel::ui
