// A widget of a layout replaced by a new one at its place: shown there at once rather than when
// the event loop next runs, which would lay the layout out without it first and again with it.
#include "app/ui/InPlace.h"

#include <QLayout>
#include <QWidget>

namespace vantrel::ui {

void replaceInPlace(QLayout* layout, QWidget* old, QWidget* made) {
    delete layout->replaceWidget(old, made);
    made->setGeometry(old->geometry());
    delete old;
    made->show();
}

} // namespace vantrel::ui
