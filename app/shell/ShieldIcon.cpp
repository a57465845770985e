#include "app/shell/ShieldIcon.h"

#include "app/ui/Style.h"
#include "app/ui/Symbols.h"

namespace vantrel {

QIcon shieldIcon(bool alert, const QColor& ink) {
    return alert ? ui::symbolIcon("exclamationmark.shield.fill", ui::colors().orange)
                 : ui::symbolIcon("checkmark.shield", ink);
}

} // namespace vantrel
