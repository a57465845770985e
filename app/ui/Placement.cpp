#include "app/ui/Placement.h"

#include <QGuiApplication>

namespace vantrel::ui {

bool windowsPlaceThemselves() {
    return qGuiApp != nullptr &&
           !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

} // namespace vantrel::ui
