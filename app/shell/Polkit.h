// Asking polkit, without any prompt, whether this program may do an action: the question as a
// D-Bus message, and what its answer says.
#pragma once

#include <QDBusConnection>
#include <QDBusMessage>

namespace vantrel::Polkit {

// CheckAuthorization for this connection's bus name and `action`, never interactive.
QDBusMessage check(const QDBusConnection& bus, const char* action);

struct Answer {
    bool authorized = false;
    bool challenge = false; // it would be allowed after a password prompt
};
// The answer in `reply`; not authorized when the reply is an error or not of that shape.
Answer answer(const QDBusMessage& reply);

} // namespace vantrel::Polkit
