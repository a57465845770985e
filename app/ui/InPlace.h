// Swapping a widget of a shown layout for a new one without the window moving: the new one takes
// the old one's place and size at once, so that only that place is painted again.
#pragma once

class QLayout;
class QWidget;

namespace vantrel::ui {

// Puts `made` where `old` is in `layout`, at the geometry `old` has, shows it and deletes `old`.
void replaceInPlace(QLayout* layout, QWidget* old, QWidget* made);

} // namespace vantrel::ui
