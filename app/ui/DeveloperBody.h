// The developer layout's body as one widget that holds the advisor and the cards in their order;
// a refresh rebuilds only the cards that show a part of the Monitor that changed.
#pragma once

#include "app/engine/Changes.h"
#include "app/ui/DeveloperCards.h"
#include "core/Timestamp.h"
#include "core/Trust.h"

#include <array>
#include <cstddef>
#include <optional>

#include <QWidget>

class QVBoxLayout;

namespace vantrel {
class Monitor;
}

namespace vantrel::ui {

class DeveloperBody final : public QWidget {
  public:
    // The Monitor must outlive the body; the advisor scores the request at `now`.
    DeveloperBody(Monitor& monitor, Timestamp now, QWidget* parent = nullptr);
    // Rebuilds, each in its place, the cards that show any of `changes`, and the advisor when
    // its score at `now` is no longer the one it shows.
    void refresh(Changes changes, Timestamp now);

  private:
    // Puts `card` (none: takes the card away) where the card `index` of developerCards goes.
    void place(std::size_t index, QWidget* card);

    Monitor& monitor_;
    QVBoxLayout* stack_;
    std::array<QWidget*, developerCards.size()> cards_{}; // none where a card is not shown
    std::optional<RequestScore> advised_;                 // the score the advisor shows
};

} // namespace vantrel::ui
