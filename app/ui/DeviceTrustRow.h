// A device in the simple layout: its score ring, name, verdict and (unless safe) summary on a
// background tinted by level; a click unfolds the reasoning and, for danger, "Unplug it now.".
#pragma once

#include "app/engine/Devices.h"
#include "core/Trust.h"

#include <functional>

#include <QWidget>

class QVBoxLayout;

namespace vantrel::ui {

class SymbolView;

class DeviceTrustRow final : public QWidget {
  public:
    DeviceTrustRow(const USBDevice& device, const TrustScore& trust, bool expanded,
                   QWidget* parent = nullptr);
    bool expanded() const { return expanded_; }
    // Folds or unfolds, as a click on the row's face does.
    void toggle();
    // Runs after every fold or unfold, with the new state.
    void setOnToggle(std::function<void(bool)> onToggle) { onToggle_ = std::move(onToggle); }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void build();
    void showDetails(bool expanded);

    USBDevice device_;
    TrustScore trust_;
    bool expanded_;
    std::function<void(bool)> onToggle_;
    QVBoxLayout* layout_;
    SymbolView* chevron_ = nullptr;
    QWidget* details_ = nullptr;
};

} // namespace vantrel::ui
