// The proxies in force for this user, one readable line each, from every place they are set:
// GNOME's settings, KDE's kioslaverc and the proxy variables of the environment.
#pragma once

#include "app/linux/FileStamp.h"
#include "app/linux/GnomeProxy.h"
#include "app/linux/ProxyText.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vantrel::Scanner {

// What the proxy read keeps from cycle to cycle: GNOME's settings and kioslaverc's lines, each
// while the files they come from stay the same.
class ProxySources {
  public:
    // One line per proxy: Web, Secure web, SOCKS, Auto-config, Auto-discovery (WPAD); within a
    // kind GNOME's first, then KDE's, then the environment's; a line that two sources give is
    // listed once. A source that is not there adds nothing.
    std::vector<std::string> read();

  private:
    std::optional<std::unique_ptr<GnomeProxy>> gnome_; // opened at the first read
    std::string kdeFile_;
    FileStamp kdeStamp_;
    std::vector<ProxyText::Line> kdeLines_;
};

} // namespace vantrel::Scanner
