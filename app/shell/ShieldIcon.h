// The tray icon's two pictures: a shield outline with a check mark while all is reviewed, and a
// filled shield with an exclamation mark while warnings wait. Drawn, so any size is sharp.
#pragma once

#include <QColor>
#include <QIcon>

namespace vantrel {

// `alert` false: "checkmark.shield", in `ink`; true: "exclamationmark.shield.fill", in orange;
// the artwork is the windows' own.
QIcon shieldIcon(bool alert, const QColor& ink);

} // namespace vantrel
