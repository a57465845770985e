#include "app/ui/DeviceTrustRow.h"

#include "app/ui/Blocks.h"
#include "app/ui/Fold.h"
#include "app/ui/ScoreBadge.h"
#include "app/ui/Style.h"
#include "app/ui/Symbols.h"
#include "app/ui/TrustDetails.h"
#include "core/Displayable.h"

#include <utility>

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace vantrel::ui {
namespace {

// The row's face: a borderless button over its whole width, drawn by what it holds.
class Face final : public QAbstractButton {
  public:
    using QAbstractButton::QAbstractButton;

  protected:
    void paintEvent(QPaintEvent*) override {}
};

QColor titleColor(TrustScore::Level level) {
    switch (level) {
    case TrustScore::Level::safe:
        return colors().secondary;
    case TrustScore::Level::check:
        return colors().orange;
    case TrustScore::Level::danger:
        return colors().red;
    }
    return colors().secondary;
}

// Lined up with the text column: the badge (36) and the space after it (12).
constexpr int detailIndent = 48;

QWidget* indented(QWidget* content) {
    auto* holder = new QWidget;
    auto* layout = new QHBoxLayout(holder);
    layout->setContentsMargins(detailIndent, 0, 0, 0);
    layout->addWidget(content);
    return holder;
}

} // namespace

DeviceTrustRow::Look DeviceTrustRow::lookOf(const USBDevice& device, const TrustScore& trust,
                                            bool expanded) {
    return {device.id, device.name, device.blocked, trust, expanded};
}

DeviceTrustRow::DeviceTrustRow(const USBDevice& device, const TrustScore& trust, bool expanded,
                               QWidget* parent)
    : DeviceTrustRow(lookOf(device, trust, expanded), parent) {}

DeviceTrustRow::DeviceTrustRow(Look look, QWidget* parent)
    : QWidget(parent), look_(std::move(look)), layout_(new QVBoxLayout(this)) {
    setObjectName(QString::fromStdString("row:" + std::to_string(look_.id)));
    layout_->setContentsMargins(10, 10, 10, 10);
    // The 10 px between the face and the details belong to the details, so that they fold away
    // with them.
    layout_->setSpacing(0);
    build();
}

void DeviceTrustRow::build() {
    const Colors& c = colors();
    const TrustScore& trust = look_.trust;
    const bool safe = trust.level == TrustScore::Level::safe;

    auto* face = new Face;
    face->setObjectName(QStringLiteral("face"));
    face->setCursor(Qt::PointingHandCursor);
    connect(face, &QAbstractButton::clicked, this, [this] { toggle(); });
    auto* faceRow = new QHBoxLayout(face);
    faceRow->setContentsMargins(0, 0, 0, 0);
    faceRow->setSpacing(12);
    faceRow->addWidget(new ScoreBadge(trust, 36), 0, Qt::AlignVCenter);

    // The lines keep 2 px apart and sit centred on the badge when they are not as tall as it.
    auto* column = new QVBoxLayout;
    column->setSpacing(2);
    column->addStretch(1);
    auto* nameRow = new QHBoxLayout;
    nameRow->setSpacing(6);
    QLabel* name = textLabel(isolated(Trust::displayName(look_.name, trust.kind)),
                             ui::font(TextStyle::callout, QFont::DemiBold), c.primary);
    name->setObjectName(QStringLiteral("name"));
    nameRow->addWidget(name);
    if (look_.blocked) {
        nameRow->addWidget(new Chip("Waiting for you", c.blue));
    }
    nameRow->addStretch();
    column->addLayout(nameRow);
    QLabel* title = textLabel(trust.title, ui::font(TextStyle::caption, QFont::Medium),
                              titleColor(trust.level));
    title->setObjectName(QStringLiteral("title"));
    column->addWidget(title);
    if (!safe) {
        QLabel* summary =
            textLabel(trust.summary, ui::font(TextStyle::caption), c.secondary, /*wrap=*/true);
        summary->setObjectName(QStringLiteral("summary"));
        column->addWidget(summary);
    }
    column->addStretch(1);
    faceRow->addLayout(column, 1);
    faceRow->addSpacing(4);
    chevron_ = new SymbolView("chevron.down", c.tertiary, ui::font(TextStyle::caption).pixelSize());
    chevron_->setObjectName(QStringLiteral("chevron"));
    faceRow->addWidget(chevron_, 0, Qt::AlignVCenter);
    layout_->addWidget(face);

    // The reasoning is made once and shown while the row is unfolded.
    auto* reasoning = new QWidget;
    auto* details = new QVBoxLayout(reasoning);
    details->setContentsMargins(0, 10, 0, 0);
    details->setSpacing(10);
    details->addWidget(indented(new TrustDetails(trust)));
    if (trust.level == TrustScore::Level::danger) {
        QLabel* unplug =
            textLabel("Unplug it now.", ui::font(TextStyle::caption, QFont::Medium), c.red);
        unplug->setObjectName(QStringLiteral("unplug"));
        details->addWidget(indented(unplug));
    }
    details_ = new Fold(reasoning, look_.expanded);
    details_->setObjectName(QStringLiteral("details"));
    layout_->addWidget(details_);
    showChevron();
}

void DeviceTrustRow::showChevron() {
    chevron_->set(look_.expanded ? "chevron.up" : "chevron.down", colors().tertiary);
}

void DeviceTrustRow::setOnResize(std::function<void()> onResize) {
    details_->setOnStep(std::move(onResize));
}

void DeviceTrustRow::toggle() {
    look_.expanded = !look_.expanded;
    showChevron();
    details_->setOpen(look_.expanded);
    if (onToggle_) {
        onToggle_(look_.expanded);
    }
}

void DeviceTrustRow::paintEvent(QPaintEvent*) {
    const Colors& c = colors();
    QColor fill;
    switch (look_.trust.level) {
    case TrustScore::Level::safe:
        fill = faded(c.primary, 0.05);
        break;
    case TrustScore::Level::check:
        fill = faded(c.orange, 0.10);
        break;
    case TrustScore::Level::danger:
        fill = faded(c.red, 0.10);
        break;
    }
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), 10, 10);
    painter.fillPath(path, fill);
}

} // namespace vantrel::ui
