// GNOME's proxy settings, read through GSettings (org.gnome.system.proxy and its http, https and
// socks children): the lines of the proxies its mode turns on, read afresh on every call.
#pragma once

#include "app/linux/ProxyText.h"

#include <memory>
#include <vector>

namespace vantrel {

class GnomeProxy {
  public:
    // The settings, or none when the schema is not installed (or lacks a key read here). Under
    // $VANTREL_ROOT the schemas are those compiled in its /usr/share/glib-2.0/schemas; otherwise
    // GSettings looks where it always does.
    static std::unique_ptr<GnomeProxy> open();
    ~GnomeProxy();
    GnomeProxy(const GnomeProxy&) = delete;
    GnomeProxy& operator=(const GnomeProxy&) = delete;

    // Mode "manual": a line for each of http, https and socks with a host and a port other than
    // 0. Mode "auto": the auto-config URL, or auto-discovery when there is none. Mode "none":
    // nothing.
    std::vector<ProxyText::Line> read() const;

  private:
    struct Settings;
    explicit GnomeProxy(std::unique_ptr<Settings> settings);
    std::unique_ptr<Settings> settings_;
};

} // namespace vantrel
