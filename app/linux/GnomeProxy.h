// GNOME's proxy settings in the tray: what vantrel-gnome-proxy printed, as proxy lines, read again
// only after a file the settings come from (dconf's databases, the schemas) changed.
#pragma once

#include "app/linux/FileStamp.h"
#include "app/linux/ProxyText.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel {

class GnomeProxy {
  public:
    // The settings' reader, or none when vantrel-gnome-proxy is not there: installed beside the
    // executable or in ../lib/vantrel, or under $VANTREL_ROOT in its /usr/lib/vantrel.
    static std::unique_ptr<GnomeProxy> open();

    // The lines of the settings now. The helper runs at the first read and after a change of
    // one of the files of sources(); a helper that fails or runs past its time gives no lines until
    // they change again.
    std::vector<ProxyText::Line> read();

    // The lines of the helper's output. Mode "manual": a line for each of http, https and socks
    // with a host and a port from 1 to 65535. Mode "auto": the auto-config URL, or
    // auto-discovery when there is none. Mode "none", or output that is not the helper's:
    // nothing.
    static std::vector<ProxyText::Line> lines(std::string_view output);

  private:
    // The files whose change may change the settings, as the machine names them: dconf's user
    // database and GIO's keyfile in the configuration folder, dconf's profile and system
    // database folders, and every compiled schema file GSettings looks at.
    static std::vector<std::string> sources();

    explicit GnomeProxy(std::string helper);
    std::string helper_;
    std::vector<std::string> files_; // sources(), under $VANTREL_ROOT
    std::vector<FileStamp> stamps_;  // of files_ at the last run
    std::vector<ProxyText::Line> lines_;
    bool ran_ = false;
};

} // namespace vantrel
