// The advisor's content: a header, the verdict beside the score ring, the reasoning that "See
// more" unfolds, the advice with the fold button, and the answer buttons when given. Every text but
// the buttons' comes from the trust score.
#include "app/ui/AdvisorView.h"

#include "app/ui/Blocks.h"
#include "app/ui/ScoreBadge.h"
#include "app/ui/Style.h"
#include "app/ui/Symbols.h"
#include "app/ui/TrustDetails.h"
#include "core/Displayable.h"

#include <algorithm>

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace vantrel::ui {
namespace {

constexpr int margin = 14;
constexpr int rowSpacing = 10;
constexpr double cornerRadius = 16;
constexpr double badgeSize = 44;
constexpr double headerSymbolSize = 12;
constexpr int closeIconSize = 14;

const char* const seeMore = "See more";
const char* const seeLess = "See less";
const char* const allowText = "Allow";
const char* const refuseText = "Don\u2019t Allow";

// The verdict title stays in the text colour for a safe device: only the ring and the shield
// carry the green.
QColor titleColor(TrustScore::Level level) {
    return level == TrustScore::Level::safe ? colors().primary : levelColor(level);
}

QWidget* divider() {
    auto* line = new QWidget;
    line->setFixedHeight(1);
    line->setAutoFillBackground(true);
    QPalette palette = line->palette();
    palette.setColor(QPalette::Window, faded(colors().primary, 0.15));
    line->setPalette(palette);
    return line;
}

} // namespace

AdvisorView::AdvisorView(const TrustRequest& request, Timestamp now, bool expanded,
                         std::function<void()> onDismiss, std::function<void()> onResize,
                         QWidget* parent)
    : QWidget(parent), expanded_(expanded), onResize_(std::move(onResize)) {
    const Colors& c = colors();
    const RequestScore scored = Trust::score(request, now);
    trust_ = scored.trust;
    const std::string name =
        scored.device ? isolated(Trust::displayName(scored.device->name, trust_.kind)) : "A device";

    setFixedWidth(width_);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(margin, margin, margin, margin);
    column->setSpacing(rowSpacing);

    // Header.
    auto* header = new QHBoxLayout;
    header->setSpacing(6);
    shield_ = new SymbolView("shield.lefthalf.filled", levelColor(trust_.level), headerSymbolSize);
    header->addWidget(shield_, 0, Qt::AlignVCenter);
    header->addWidget(
        textLabel("VANTREL", ui::font(TextStyle::caption2, QFont::DemiBold), c.secondary), 0,
        Qt::AlignVCenter);
    header->addStretch(1);
    header->addWidget(textLabel("now", ui::font(TextStyle::caption2), c.secondary), 0,
                      Qt::AlignVCenter);
    if (onDismiss) {
        close_ = new QPushButton;
        close_->setObjectName(QStringLiteral("advisorClose"));
        close_->setFlat(true);
        close_->setFocusPolicy(Qt::NoFocus);
        close_->setIcon(symbolIcon("xmark.circle.fill", c.secondary));
        close_->setIconSize(QSize(closeIconSize, closeIconSize));
        close_->setFixedSize(closeIconSize + 4, closeIconSize + 4);
        close_->setAccessibleName(QStringLiteral("Close"));
        connect(close_, &QPushButton::clicked, this,
                [dismiss = std::move(onDismiss)] { dismiss(); });
        header->addWidget(close_, 0, Qt::AlignVCenter);
    }
    column->addLayout(header);

    // Verdict.
    auto* verdict = new QHBoxLayout;
    verdict->setSpacing(12);
    badge_ = new ScoreBadge(trust_, badgeSize);
    verdict->addWidget(badge_, 0, Qt::AlignVCenter);
    auto* lines = new QVBoxLayout;
    lines->setSpacing(2);
    title_ = textLabel(trust_.title, ui::font(TextStyle::headline), titleColor(trust_.level), true);
    name_ = textLabel(name, ui::font(TextStyle::subheadline, QFont::Medium), c.primary, true);
    summary_ = textLabel(trust_.summary, ui::font(TextStyle::callout), c.secondary, true);
    lines->addWidget(title_);
    lines->addWidget(name_);
    lines->addWidget(summary_);
    verdict->addLayout(lines, 1);
    column->addLayout(verdict);

    // The reasoning, while unfolded.
    details_ = new QWidget;
    auto* detailColumn = new QVBoxLayout(details_);
    detailColumn->setContentsMargins(0, 0, 0, 0);
    detailColumn->setSpacing(rowSpacing);
    detailColumn->addWidget(divider());
    detailColumn->addWidget(new TrustDetails(trust_));
    details_->setVisible(expanded_);
    column->addWidget(details_);

    // Footer: the advice, at least 8 px of space, and the fold button.
    auto* footer = new QHBoxLayout;
    footer->setSpacing(0);
    advice_ =
        textLabel(trust_.advice, ui::font(TextStyle::callout, QFont::Medium), c.primary, true);
    more_ = new QPushButton(expanded_ ? seeLess : seeMore);
    more_->setObjectName(QStringLiteral("advisorMore"));
    more_->setFocusPolicy(Qt::NoFocus);
    more_->setFont(ui::font(TextStyle::caption));
    const QFontMetrics buttonText(more_->font());
    more_->setFixedWidth(
        std::max(buttonText.horizontalAdvance(seeMore), buttonText.horizontalAdvance(seeLess)) +
        20);
    connect(more_, &QPushButton::clicked, this, [this] { toggle(); });
    // Layouts have no baseline alignment: the advice's first line is centred on the button,
    // which puts the two texts on one baseline.
    const int lineHeight = QFontMetrics(advice_->font()).height();
    advice_->setContentsMargins(0, std::max(0, (more_->sizeHint().height() - lineHeight) / 2), 0,
                                0);
    footer->addWidget(advice_, 1, Qt::AlignTop);
    footer->addSpacing(8);
    footer->addWidget(more_, 0, Qt::AlignTop);
    column->addLayout(footer);
}

void AdvisorView::toggle() {
    expanded_ = !expanded_;
    details_->setVisible(expanded_);
    more_->setText(expanded_ ? seeLess : seeMore);
    updateGeometry();
    if (onResize_) {
        onResize_();
    }
}

void AdvisorView::setAnswers(std::optional<Answers> answers) {
    const bool show = answers.has_value();
    const bool was = answersShown();
    answers_ = show ? std::move(*answers) : Answers{};
    if (answerRow_ == nullptr) {
        if (!show) {
            return;
        }
        // Like a dialog's buttons: right-aligned, the refusal first.
        answerRow_ = new QWidget;
        answerRow_->setObjectName(QStringLiteral("advisorAnswers"));
        auto* row = new QHBoxLayout(answerRow_);
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(8);
        row->addStretch(1);
        const auto button = [&](const char* text, const char* name,
                                std::function<void()> Answers::*run) {
            auto* b = new QPushButton(QString::fromUtf8(text));
            b->setObjectName(QString::fromLatin1(name));
            b->setFocusPolicy(Qt::NoFocus);
            b->setFont(ui::font(TextStyle::callout));
            // A copy runs, so that an answer that replaces the answers finishes as it began.
            connect(b, &QPushButton::clicked, this, [this, run] {
                if (const std::function<void()> answer = answers_.*run) {
                    answer();
                }
            });
            row->addWidget(b);
            return b;
        };
        refuse_ = button(refuseText, "advisorRefuse", &Answers::refuse);
        allow_ = button(allowText, "advisorAllow", &Answers::allow);
        const bool safe = trust_.level == TrustScore::Level::safe;
        allow_->setDefault(safe);
        refuse_->setDefault(!safe);
        layout()->addWidget(answerRow_);
    }
    answerRow_->setVisible(show);
    if (show != was) {
        updateGeometry();
        if (onResize_) {
            onResize_();
        }
    }
}

bool AdvisorView::answersShown() const {
    return answerRow_ != nullptr && !answerRow_->isHidden();
}

void AdvisorView::setRoundedBackground(bool on) {
    roundedBackground_ = on;
    update();
}

void AdvisorView::setViewWidth(int width) {
    width_ = width;
    setFixedWidth(width_);
    updateGeometry();
}

QSize AdvisorView::sizeHint() const {
    const int height = hasHeightForWidth() ? heightForWidth(width_) : QWidget::sizeHint().height();
    return {width_, height};
}

void AdvisorView::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    if (!roundedBackground_) {
        return;
    }
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // A faint edge keeps the panel apart from a background of the same colour.
    painter.setPen(QPen(faded(colors().primary, 0.12), 1));
    painter.setBrush(colors().window);
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), cornerRadius,
                            cornerRadius);
}

} // namespace vantrel::ui
