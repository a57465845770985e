// The unfolded reasoning behind a trust score: "Who makes it", "What it can do" and "Your
// history with it", each a caption title over its lines, every group shown even when empty.
#pragma once

#include "core/Trust.h"

#include <QWidget>

namespace vantrel::ui {

class TrustDetails final : public QWidget {
  public:
    explicit TrustDetails(const TrustScore& trust, QWidget* parent = nullptr);
};

} // namespace vantrel::ui
