// The developer layout's body: the advisor while a prompt is pending, then the cards "Needs
// review", "USB devices", "Keyboards & mice", "Ports", "Network" and "Activity", each built from
// the Monitor's published state, and the parts of that state each of them shows.
#pragma once

#include "app/engine/Changes.h"
#include "core/Timestamp.h"

#include <array>

#include <QWidget>

namespace vantrel {
class Monitor;
}

namespace vantrel::ui {

// The advisor and the cards of the body, top to bottom.
enum class DeveloperCard { advisor, review, usb, input, port, network, activity };
inline constexpr std::array developerCards = {
    DeveloperCard::advisor, DeveloperCard::review,  DeveloperCard::usb,      DeveloperCard::input,
    DeveloperCard::port,    DeveloperCard::network, DeveloperCard::activity,
};

// The parts of the Monitor's state `card` shows: a change of no other part alters it.
constexpr Changes shownParts(DeveloperCard card) {
    switch (card) {
    case DeveloperCard::advisor:
        return Changes::of(Changes::request);
    case DeveloperCard::review:
    case DeveloperCard::activity:
        return Changes::of(Changes::events);
    case DeveloperCard::usb:
        // Each row's activity line, and its status chip: held back while the prompt is open,
        // out of scope.
        return Changes::of(Changes::usb, Changes::activity, Changes::request, Changes::outOfScope);
    case DeveloperCard::input:
        return Changes::of(Changes::inputs);
    case DeveloperCard::port:
        return Changes::of(Changes::ports);
    case DeveloperCard::network:
        return Changes::of(Changes::network);
    }
    return Changes::all();
}

// `card` for `monitor` as it is now, the advisor scoring the pending request at `now`; none where
// the card is not shown: the advisor without a prompt, "Needs review" with nothing to review.
QWidget* developerCard(Monitor& monitor, DeveloperCard card, Timestamp now);

// Brings `card`, a USB card developerCard made, up to the Monitor after a change of the devices
// or their activity alone: the rows that would look different are made anew in their places.
// False, with nothing touched, when the card no longer lists the same devices in the same order
// and must be made anew.
bool refreshUsbRows(QWidget* card, Monitor& monitor);

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
