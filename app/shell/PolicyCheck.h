// The self-test's look at the device policy daemon over D-Bus: installed, its bridge running,
// new devices held back, and this user allowed to let a device in without a password.
#pragma once

#include "app/shell/Reports.h"

#include <QDBusConnection>

namespace vantrel::PolicyCheck {

// Asks the bus (the system bus, or a test's own) and polkit; changes nothing. Needs a
// QCoreApplication.
SelfTest::Policy run(const QDBusConnection& bus);

} // namespace vantrel::PolicyCheck
