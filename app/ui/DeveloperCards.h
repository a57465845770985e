// The developer layout's body: the advisor while a prompt is pending, then the cards "Needs
// review", "USB devices", "Keyboards & mice", "Ports", "Network" and "Activity", every one built
// afresh from the Monitor's published state.
#pragma once

#include "core/Timestamp.h"

#include <QWidget>

namespace vantrel {
class Monitor;
}

namespace vantrel::ui {

// The whole body for `monitor` as it is now, the advisor scoring the pending request at `now`.
// Widgets that tests look for carry object names: the advisor's panel "advisor", each card
// "card:{title}", each USB row "usb:{id}" (its status chip "status", its activity line
// "activity", its menu "menu:{id}"), input rows "input:{key}", port rows "port:{id}", network
// blocks "net:{id}" (detail lines of both "detail"), the network settings "info:{label}", event
// rows "event:{id}".
QWidget* developerBody(Monitor& monitor, Timestamp now);
// The same at the Monitor's own scoring time (the fixed time of a demo).
QWidget* developerBody(Monitor& monitor);

// The most events the Activity card shows.
inline constexpr int activityLimit = 40;

} // namespace vantrel::ui
