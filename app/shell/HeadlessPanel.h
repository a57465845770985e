// The advisor panel of the headless guard: nobody is there to answer, so a held-back device stays
// held back and the event log says so in place of the question, once for each prompt.
#pragma once

#include "app/engine/Seams.h"

#include <optional>

namespace vantrel {

class Monitor;

class HeadlessPanel final : public AdvisorPanel {
  public:
    // The Monitor the lines go to; a prompt shown while the Monitor was being made (its first
    // cycle) is logged now. `monitor` must outlive the panel's use.
    void attach(Monitor& monitor);

    void show(const TrustRequest& request) override;
    void hide() override;
    bool asksSomeone() const override { return false; }

  private:
    void logHeldBack(const TrustRequest& request);

    Monitor* monitor_ = nullptr;
    bool open_ = false;
    std::optional<TrustRequest> waiting_; // shown before the Monitor was attached
};

} // namespace vantrel
