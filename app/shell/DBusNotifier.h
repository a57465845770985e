// Desktop notifications through the freedesktop notification service on the session bus. Every
// notification is new (none replaces another); without a bus or a server nothing happens.
#pragma once

#include "app/engine/Seams.h"

#include <string_view>

#include <QDBusConnection>
#include <QString>

namespace vantrel {

class DBusNotifier final : public Notifier {
  public:
    static constexpr const char* summary = "Vantrel: check this";
    // The sound theme's name for a message that arrived.
    static constexpr const char* soundName = "message";

    explicit DBusNotifier(QDBusConnection bus = QDBusConnection::sessionBus());

    // Posts `body` without waiting for an answer.
    void send(const std::string& body) override;

    // `body` as notification markup shows it literally: "&", "<" and ">" escaped, so that a
    // device's name can neither inject markup nor hide the text around it.
    static QString escaped(std::string_view body);

  private:
    QDBusConnection bus_;
};

} // namespace vantrel
