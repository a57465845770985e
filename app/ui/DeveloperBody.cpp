// The developer layout's body: the advisor and the cards top to bottom, each replaced in place
// when a part of the Monitor it shows changed, the others kept as they are.
#include "app/ui/DeveloperBody.h"

#include "app/engine/Monitor.h"
#include "app/ui/InPlace.h"

#include <algorithm>
#include <utility>

#include <QVBoxLayout>

namespace vantrel::ui {
namespace {

std::optional<RequestScore> advisedScore(const Monitor& monitor, Timestamp now) {
    const auto& request = monitor.trustRequest();
    return request ? std::optional(Trust::score(*request, now)) : std::nullopt;
}

} // namespace

DeveloperBody::DeveloperBody(Monitor& monitor, Timestamp now, QWidget* parent)
    : QWidget(parent), monitor_(monitor), stack_(new QVBoxLayout(this)),
      advised_(advisedScore(monitor, now)) {
    setObjectName(QStringLiteral("developerBody"));
    stack_->setContentsMargins(12, 12, 12, 12);
    stack_->setSpacing(14);
    for (std::size_t i = 0; i < developerCards.size(); ++i) {
        cards_[i] = developerCard(monitor_, developerCards[i], now);
        if (cards_[i] != nullptr) {
            stack_->addWidget(cards_[i]);
        }
    }
    stack_->addStretch(1);
}

void DeveloperBody::refresh(Changes changes, Timestamp now) {
    const auto advised = advisedScore(monitor_, now);
    // Devices changed in place, or what they do: only their rows of the USB card.
    constexpr Changes rowParts = Changes::of(Changes::usb, Changes::activity);
    const bool rowsOnly = (changes.parts & ~rowParts.parts) == 0;
    for (std::size_t i = 0; i < developerCards.size(); ++i) {
        const DeveloperCard card = developerCards[i];
        if (!changes.touches(shownParts(card)) &&
            !(card == DeveloperCard::advisor && advised != advised_)) {
            continue;
        }
        if (card == DeveloperCard::usb && rowsOnly && refreshUsbRows(cards_[i], monitor_)) {
            continue;
        }
        place(i, developerCard(monitor_, card, now));
    }
    advised_ = advised;
}

void DeveloperBody::place(std::size_t index, QWidget* card) {
    QWidget* old = std::exchange(cards_[index], card);
    if (old != nullptr && card != nullptr) {
        replaceInPlace(stack_, old, card);
    } else if (card != nullptr) {
        // After the cards above it that are shown; shown at once, so that the body is measured
        // with it.
        const auto above = std::count_if(cards_.begin(), cards_.begin() + index,
                                         [](const QWidget* c) { return c != nullptr; });
        stack_->insertWidget(static_cast<int>(above), card);
        card->show();
    } else {
        delete old; // and out of the layout with it
    }
}

} // namespace vantrel::ui
