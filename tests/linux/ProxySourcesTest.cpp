#include "app/linux/GnomeProxy.h"
#include "app/linux/HostFiles.h"
#include "app/linux/NetCache.h"
#include "app/linux/Scanner.h"
#include "tests/linux/FixtureTree.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <glib.h>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace vantrel {
namespace {

namespace fs = std::filesystem;

struct Manual {
    std::string host{};
    int port = 0;
};

// GNOME's proxy settings, every key a test reads.
struct Gnome {
    std::string mode = "none";
    std::string url{};
    Manual http{}, https{}, socks{};
};

constexpr const char* helper = "/usr/lib/vantrel/vantrel-gnome-proxy";

// A string as GSettings' keyfile holds it: GVariant text, quoted and escaped.
std::string variant(const std::string& text) {
    GVariant* value = g_variant_ref_sink(g_variant_new_string(text.c_str()));
    gchar* printed = g_variant_print(value, FALSE);
    std::string line = printed;
    g_free(printed);
    g_variant_unref(value);
    return line;
}

// Installs GNOME's proxy schema and the settings reader in `tree`, and writes `g` to the keyfile
// the reader takes the settings from under a fixture tree.
void install(const FixtureTree& tree, const Gnome& g) {
    const fs::path folder = tree.at("/usr/share/glib-2.0/schemas");
    fs::create_directories(folder);
    fs::copy_file(VANTREL_PROXY_SCHEMAS, folder / "gschemas.compiled",
                  fs::copy_options::overwrite_existing);
    if (!fs::exists(tree.at(helper))) {
        tree.link(helper, VANTREL_GNOME_PROXY_HELPER);
    }
    std::string keyfile =
        "[system/proxy]\nmode=" + variant(g.mode) + "\nautoconfig-url=" + variant(g.url) + "\n";
    for (const auto& [child, manual] :
         {std::pair{"http", &g.http}, std::pair{"https", &g.https}, std::pair{"socks", &g.socks}}) {
        keyfile += std::string("[system/proxy/") + child + "]\nhost=" + variant(manual->host) +
                   "\nport=" + std::to_string(manual->port) + "\n";
    }
    tree.write("/home/u/.config/glib-2.0/settings/keyfile", keyfile);
}

constexpr const char* kioslaverc = "/home/u/.config/kioslaverc";

// One machine: GNOME's settings (none: the schema is not installed), kioslaverc, the variables.
struct Sources {
    std::optional<Gnome> gnome = std::nullopt;
    std::optional<std::string> kde = std::nullopt;
    const char* http = nullptr;
    const char* https = nullptr;
    const char* all = nullptr;
};

// Sets up `s` in `tree` for as long as the returned guards live.
std::vector<std::unique_ptr<EnvGuard>> setUp(const FixtureTree& tree, const Sources& s) {
    if (s.gnome) {
        install(tree, *s.gnome);
    }
    if (s.kde) {
        tree.write(kioslaverc, *s.kde);
    }
    std::vector<std::unique_ptr<EnvGuard>> env;
    using Variable = std::pair<const char*, const char*>;
    for (const auto& [name, value] :
         {Variable{"http_proxy", s.http}, Variable{"https_proxy", s.https},
          Variable{"all_proxy", s.all}, Variable{"HTTP_PROXY", nullptr},
          Variable{"HTTPS_PROXY", nullptr}, Variable{"ALL_PROXY", nullptr},
          Variable{"XDG_CONFIG_HOME", "/home/u/.config"}}) {
        env.push_back(std::make_unique<EnvGuard>(name, value));
    }
    return env;
}

TEST(ProxySources, everySourceIsListedOnceInTheOrderOfKinds) {
    const struct {
        const char* what;
        Sources sources;
        std::vector<std::string> proxies;
    } cases[] = {
        {"environment only, no schema",
         {.http = "http://env.example:3128/"},
         {"Web env.example:3128"}},
        {"manual and the same variable",
         {.gnome =
              Gnome{.mode = "manual", .http = {"env.example", 3128}, .socks = {"s.example", 1080}},
          .http = "http://env.example:3128"},
         {"Web env.example:3128", "SOCKS s.example:1080"}},
        {"manual and another variable",
         {.gnome = Gnome{.mode = "manual", .http = {"g.example", 8080}, .https = {"g.example", 0}},
          .http = "env.example:3128"},
         {"Web g.example:8080", "Web env.example:3128"}},
        {"manual host typed as a URL",
         {.gnome = Gnome{.mode = "manual", .https = {"http://bob:pw@corp.example/", 8443}}},
         {"Secure web corp.example:8443"}},
        {"auto with credentials and a query",
         {.gnome = Gnome{.mode = "auto",
                         .url = "https://alice:s3cr/et@pac.example:8443/proxy.pac?token=abc#x"}},
         {"Auto-config https://pac.example:8443/proxy.pac"}},
        {"auto without a URL", {.gnome = Gnome{.mode = "auto"}}, {"Auto-discovery (WPAD)"}},
        {"none with a host left set, and a variable",
         {.gnome = Gnome{.mode = "none", .http = {"g.example", 8080}}, .http = "env.example:1"},
         {"Web env.example:1"}},
        {"KDE manual, both port forms",
         {.kde = "[Proxy Settings]\nProxyType=1\nhttpProxy=http://k.example 8080\n"
                 "httpsProxy=http://k.example:8443\nsocksProxy=\n"},
         {"Web k.example:8080", "Secure web k.example:8443"}},
        {"KDE auto-config",
         {.kde = "[Other]\nProxyType=0\n[Proxy Settings]\nProxyType=2\n"
                 "Proxy Config Script=http://u:p@wpad.example/wpad.dat?x=1\n"},
         {"Auto-config http://wpad.example/wpad.dat"}},
        {"KDE off",
         {.kde = "[Proxy Settings]\nProxyType=0\nhttpProxy=http://k.example 8080\n"},
         {}},
        {"all three",
         {.gnome = Gnome{.mode = "auto", .url = "http://pac.example/p.pac"},
          .kde = "[Proxy Settings]\nProxyType=1\nsocksProxy=socks://k.example 1080\n",
          .all = "http://env.example:3128"},
         {"Web env.example:3128", "Secure web env.example:3128", "SOCKS k.example:1080",
          "Auto-config http://pac.example/p.pac"}},
    };
    for (const auto& c : cases) {
        FixtureTree tree;
        const auto env = setUp(tree, c.sources);
        EXPECT_EQ(Scanner::netConfig().proxies, c.proxies) << c.what;
    }
}

TEST(ProxySources, hostileValuesStayInertAndBounded) {
    // GSettings holds only valid UTF-8; a file and a variable can hold any bytes.
    const std::string hostile =
        "<i>\r\x1b[31m\xE2\x80\xAE\xC2\x85" + std::string(9000, 'a') + "\n</i>";
    const std::string bytes = "\xff" + hostile;
    const Sources cases[] = {
        {.gnome = Gnome{.mode = "manual", .http = {hostile, 80}}},
        {.gnome = Gnome{.mode = "auto", .url = "http://" + hostile}},
        {.kde = "[Proxy Settings]\nProxyType=2\nProxy Config Script=file:///" + bytes + "\n"},
        {.http = bytes.c_str()},
    };
    for (const auto& c : cases) {
        FixtureTree tree;
        const auto env = setUp(tree, c);
        const auto proxies = Scanner::netConfig().proxies;
        ASSERT_EQ(proxies.size(), 1U);
        const std::string& line = proxies[0];
        EXPECT_LE(line.size(), 600U);
        EXPECT_NE(line.find("\xE2\x80\xA6"), std::string::npos)
            << line.substr(0, 40); // cut, visibly
        EXPECT_EQ(HostFiles::repairedUTF8(line), line);
        for (const std::string_view hidden : {"\n", "\r", "\x1b", "\xE2\x80\xAE", "\xC2\x85"}) {
            EXPECT_EQ(line.find(hidden), std::string::npos) << line.substr(0, 40);
        }
    }
}

// What the reader prints is taken only as far as it makes sense: cut or odd output gives no line.
TEST(ProxySources, gnomeReaderOutputThatIsNotWholeGivesNothingWrong) {
    const struct {
        const char* output;
        std::vector<std::string> lines;
    } cases[] = {
        {"", {}},
        {R"({"mode":"manual","http":{"host":"a.example","port":80)", {}},
        {R"(["manual"])", {}},
        {R"({"mode":"manual","http":{"host":"a.example","port":"80"},)"
         R"("https":{"host":"b.example","port":70000},"socks":{"host":"c.example","port":1080}})",
         {"SOCKS c.example:1080"}},
        {R"({"mode":"manual","https":[1],"socks":{"host":"c.example","port":1080}})",
         {"SOCKS c.example:1080"}},
        {R"({"mode":"auto","autoconfig-url":7})", {"Auto-discovery (WPAD)"}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> texts;
        for (const auto& line : GnomeProxy::lines(c.output)) {
            texts.push_back(line.text);
        }
        EXPECT_EQ(texts, c.lines) << c.output;
    }
}

// Over the network cache the proxies follow what the person sets while Vantrel runs: GNOME's
// reader runs again only after its settings changed, and kioslaverc is opened only after it did.
TEST(ProxySources, aCachedReadFollowsChanges) {
    FixtureTree tree;
    const auto env = setUp(tree, {.gnome = Gnome{}});
    // The reader, counting its runs in a file beside it.
    tree.remove(helper);
    tree.write(helper, std::string("#!/bin/sh\necho >> \"$0.runs\"\nexec '") +
                           VANTREL_GNOME_PROXY_HELPER + "'\n");
    fs::permissions(tree.at(helper), fs::perms::owner_all);
    const auto runs = [&] {
        const auto text = HostFiles::read(tree.at(helper).string() + ".runs");
        return text ? std::count(text->begin(), text->end(), '\n') : 0;
    };
    Scanner::NetCache cache;
    const struct {
        const char* what;
        std::function<void()> change;
        std::vector<std::string> proxies;
        bool opensKioslaverc;
        bool runsGnomeReader;
    } cycles[] = {
        {"first", [] {}, {}, false, true},
        {"GNOME manual",
         [&] {
             install(tree, {.mode = "manual", .http = {"g.example", 3128}});
         },
         {"Web g.example:3128"},
         false,
         true},
        {"KDE file made",
         [&] { tree.write(kioslaverc, "[Proxy Settings]\nProxyType=3\n"); },
         {"Web g.example:3128", "Auto-discovery (WPAD)"},
         true,
         false},
        {"steady", [] {}, {"Web g.example:3128", "Auto-discovery (WPAD)"}, false, false},
        {"KDE off, GNOME auto",
         [&] {
             tree.write(kioslaverc, "[Proxy Settings]\nProxyType=0\n# off\n");
             install(tree, {.mode = "auto", .url = "http://pac.example/p.pac"});
         },
         {"Auto-config http://pac.example/p.pac"},
         true,
         true},
    };
    for (const auto& c : cycles) {
        SCOPED_TRACE(c.what);
        c.change();
        const auto ranBefore = runs();
        const std::uint64_t before = HostFiles::opens();
        EXPECT_EQ(cache.proxies.read(), c.proxies);
        EXPECT_EQ(HostFiles::opens() - before, c.opensKioslaverc ? 1U : 0U);
        EXPECT_EQ(runs() - ranBefore, c.runsGnomeReader ? 1 : 0);
    }
}

} // namespace
} // namespace vantrel
