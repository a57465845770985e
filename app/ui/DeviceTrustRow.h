// A device in the simple layout: its score ring, name, verdict and (unless safe) summary on a
// background tinted by level; a click unfolds the reasoning and, for danger, "Unplug it now.",
// and folds it away again, each in 0.15 s.
#pragma once

#include "app/engine/Devices.h"
#include "core/Trust.h"

#include <cstdint>
#include <functional>
#include <string>

#include <QWidget>

class QVBoxLayout;

namespace vantrel::ui {

class Fold;
class SymbolView;

class DeviceTrustRow final : public QWidget {
  public:
    // Everything the row shows: two rows of equal looks are drawn alike.
    struct Look {
        std::uint64_t id = 0;
        std::string name;
        bool blocked = false;
        TrustScore trust;
        bool expanded = false;
        friend bool operator==(const Look&, const Look&) = default;
    };
    static Look lookOf(const USBDevice& device, const TrustScore& trust, bool expanded);

    explicit DeviceTrustRow(Look look, QWidget* parent = nullptr);
    DeviceTrustRow(const USBDevice& device, const TrustScore& trust, bool expanded,
                   QWidget* parent = nullptr);
    // What it shows now, folded or unfolded as it is.
    const Look& look() const { return look_; }
    bool expanded() const { return look_.expanded; }
    // Folds or unfolds, as a click on the row's face does.
    void toggle();
    // Runs at every fold or unfold, with the new state.
    void setOnToggle(std::function<void(bool)> onToggle) { onToggle_ = std::move(onToggle); }
    // Runs at every step of the row's height while it folds or unfolds, and once it has settled.
    void setOnResize(std::function<void()> onResize);
    // The reasoning below the face, open while the row is unfolded.
    Fold* details() const { return details_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void build();
    void showChevron();

    Look look_;
    std::function<void(bool)> onToggle_;
    QVBoxLayout* layout_;
    SymbolView* chevron_ = nullptr;
    Fold* details_ = nullptr;
};

} // namespace vantrel::ui
