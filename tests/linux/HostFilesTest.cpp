#include "app/linux/HostFiles.h"

#include "tests/TestSupport.h"

#include <fstream>
#include <string>
#include <sys/stat.h>

#include <gtest/gtest.h>

namespace vantrel {
namespace {

void put(const std::filesystem::path& file, std::string_view text) {
    std::ofstream(file, std::ios::binary).write(text.data(), static_cast<long>(text.size()));
}

TEST(HostFiles, PathUnderTheMachineRoot) {
    const struct {
        const char* root;
        const char* absolute;
        const char* expected;
    } cases[] = {
        {nullptr, "/sys/bus/usb", "/sys/bus/usb"},
        {"", "/sys/bus/usb", "/sys/bus/usb"},
        {"/tmp/fixture", "/sys/bus/usb", "/tmp/fixture/sys/bus/usb"},
        {"/tmp/fixture/", "/proc/net/dev", "/tmp/fixture/proc/net/dev"},
    };
    for (const auto& c : cases) {
        EnvGuard root("VANTREL_ROOT", c.root);
        EXPECT_EQ(HostFiles::path(c.absolute), c.expected) << (c.root ? c.root : "(unset)");
    }
}

TEST(HostFiles, RepairedUTF8) {
    const std::string fffd = "\xEF\xBF\xBD";
    const struct {
        std::string in;
        std::string out;
    } cases[] = {
        {"plain ASCII\n", "plain ASCII\n"},
        {"K\xC3\xB6rper \xE2\x82\xAC \xF0\x9F\x94\x8C",
         "K\xC3\xB6rper \xE2\x82\xAC \xF0\x9F\x94\x8C"},
        {"a\xFF"
         "b",
         "a" + fffd + "b"},
        {"\xC0\xAF", fffd + fffd},                       // overlong
        {"\xED\xA0\x80", fffd + fffd + fffd},            // surrogate
        {"\xF4\x90\x80\x80", fffd + fffd + fffd + fffd}, // above U+10FFFF
        {"\xE2\x82"
         "A",
         fffd + "A"},              // cut short: one for the prefix
        {"\xF0\x9F\x94", fffd},    // cut short at the end
        {"\x80\x80", fffd + fffd}, // stray continuation bytes
        {std::string("nul\0byte", 8), std::string("nul\0byte", 8)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(HostFiles::repairedUTF8(c.in), c.out) << testing::PrintToString(c.in);
    }
}

TEST(HostFiles, ReadsRegularFilesOnlyAndBounded) {
    TempFolder folder;
    const auto file = folder.path / "big";
    put(file, std::string(10000, 'x'));
    EXPECT_EQ(HostFiles::read(file)->size(), HostFiles::attributeLimit);
    EXPECT_EQ(HostFiles::read(file, 7), "xxxxxxx");
    EXPECT_EQ(HostFiles::read(file, 20000)->size(), 10000u);
    EXPECT_EQ(HostFiles::read(folder.path / "missing"), std::nullopt);
    EXPECT_EQ(HostFiles::read(folder.path), std::nullopt);
    // A FIFO with no writer would block an ordinary open.
    const auto fifo = folder.path / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(HostFiles::read(fifo), std::nullopt);
    EXPECT_EQ(HostFiles::read("/dev/zero"), std::nullopt);
}

TEST(HostFiles, AttributeDropsOneLineFeed) {
    TempFolder folder;
    const auto file = folder.path / "product";
    const struct {
        const char* stored;
        const char* value;
    } cases[] = {
        {"Keyboard\n", "Keyboard"},       {"Keyboard\n\n", "Keyboard\n"},
        {"Keyboard", "Keyboard"},         {"\n", ""},
        {"Bad\xFE\n", "Bad\xEF\xBF\xBD"},
    };
    for (const auto& c : cases) {
        put(file, c.stored);
        EXPECT_EQ(HostFiles::attribute(file), c.value) << testing::PrintToString(c.stored);
    }
    EXPECT_EQ(HostFiles::attribute(folder.path / "missing"), std::nullopt);
}

TEST(HostFiles, QuickAttributeReadsLikeAttribute) {
    TempFolder folder;
    const auto file = folder.path / "product";
    const std::string cases[] = {"Keyboard\n",
                                 "Keyboard\n\n",
                                 "",
                                 "\n",
                                 "Bad\xFE\n",
                                 std::string(HostFiles::attributeLimit - 1, 'x') + "\n",
                                 std::string(10000, 'y')};
    for (const auto& stored : cases) {
        put(file, stored);
        const std::uint64_t before = HostFiles::opens();
        EXPECT_EQ(HostFiles::quickAttribute(file.c_str()), HostFiles::attribute(file))
            << testing::PrintToString(stored.substr(0, 20));
        EXPECT_EQ(HostFiles::opens() - before, 2u) << "each read counts its open";
    }
    EXPECT_EQ(HostFiles::quickAttribute((folder.path / "missing").c_str()), std::nullopt);
    EXPECT_EQ(HostFiles::quickAttribute(folder.path.c_str()), std::nullopt);
    // Neither a FIFO nor a device put in an attribute's place holds or floods the caller.
    const auto fifo = folder.path / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(HostFiles::quickAttribute(fifo.c_str()), "");
    EXPECT_EQ(HostFiles::quickAttribute("/dev/zero")->size(), HostFiles::attributeLimit);
}

} // namespace
} // namespace vantrel
