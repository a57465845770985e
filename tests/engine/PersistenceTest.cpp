#include "app/engine/AtomicFile.h"
#include "app/engine/Event.h"
#include "app/engine/EventStore.h"
#include "app/engine/SettingsStore.h"
#include "tests/TestSupport.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace vantrel {

// Told of every folder flushed to disk, while a test listens.
std::function<void()> folderFlushed;

} // namespace vantrel

// Stands in for the C library's fsync in this executable (the stores' code calls this one), so
// that a test can see when a folder is flushed; then flushes, as the real one does.
extern "C" int fsync(int fd) {
    struct stat info {};
    if (vantrel::folderFlushed && ::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
        vantrel::folderFlushed();
    }
    return static_cast<int>(::syscall(SYS_fsync, fd));
}

namespace vantrel {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

void put(const fs::path& file, const std::string& bytes) {
    ASSERT_TRUE(AtomicFile::write(file, bytes));
}

std::vector<std::string> names(const fs::path& folder) {
    std::vector<std::string> result;
    for (const auto& entry : fs::directory_iterator(folder)) {
        result.push_back(entry.path().filename().string());
    }
    std::sort(result.begin(), result.end());
    return result;
}

const std::string upperID = "0F8FAD5B-D9CB-469F-A165-70867728950E";

TEST(Event, RoundTripKeepsFullPrecisionAndExactlyFiveMembers) {
    const std::string fresh = newUUID(); // random version 4, canonical upper case
    EXPECT_EQ(fresh[14], '4');
    EXPECT_NE(std::string_view("89AB").find(fresh[19]), std::string_view::npos) << fresh;
    EXPECT_NE(fresh, newUUID());
    for (const Event& event : {Event{upperID, Timestamp{813147840.123456789}, Event::Level::warning,
                                     "Keyboard \"K\" paused", true},
                               Event{fresh, Timestamp{-0.000001}, Event::Level::info, "", false}}) {
        const json stored = json::parse(event.toJSON().dump());
        EXPECT_EQ(stored.size(), 5u);
        EXPECT_EQ(stored["level"], rawValue(event.level));
        EXPECT_EQ(Event::fromJSON(stored), event);
    }
}

TEST(Event, DecodingNeedsEveryMemberWithItsTypeAndAUUID) {
    const json good = json::parse(R"({"id":"0f8fad5b-d9cb-469f-a165-70867728950e","date":12,)"
                                  R"("level":"warning","text":"t","reviewed":false,"extra":1})");
    const auto decoded = Event::fromJSON(good);
    ASSERT_TRUE(decoded); // unknown members ignored, the id comes back in upper case
    EXPECT_EQ(*decoded, (Event{upperID, Timestamp{12}, Event::Level::warning, "t", false}));

    // Each change replaces one member; null removes it.
    const json changes = json::parse(R"([{"id":null},{"date":null},{"level":null},{"text":null},
        {"reviewed":null},{"id":7},{"date":"2026-10-08"},{"level":"error"},{"level":"Info"},
        {"text":3},{"reviewed":1},{"id":"0F8FAD5B-D9CB-469F-A165-70867728950"},
        {"id":"0F8FAD5BD9CB-469F-A165-70867728950E0"},{"id":"0F8FAD5B-D9CB-469F-A165-70867728950G"},
        {"id":"{0F8FAD5B-D9CB-469F-A165-7086772895}"}])");
    for (const auto& change : changes) {
        json bad = good;
        bad.merge_patch(change);
        EXPECT_FALSE(Event::fromJSON(bad)) << bad.dump();
    }
    EXPECT_FALSE(Event::fromJSON(json::array({good})));
}

TEST(EventStore, MissingFileStartsEmptyAndDamagedOneIsKeptAsideUnchangedBeforeTheNextSave) {
    TempFolder folder;
    EventStore store(folder.path / "new" / "events.json");
    EXPECT_TRUE(store.load().empty());
    ASSERT_TRUE(store.save({})); // creates the folder; nothing to keep aside
    EXPECT_EQ(names(folder.path / "new"), std::vector<std::string>{"events.json"});

    json stored =
        json::array({Event{upperID, Timestamp{1.5}, Event::Level::info, "a", true}.toJSON(),
                     Event{upperID, Timestamp{2}, Event::Level::info, "b", false}.toJSON()});
    stored[1].erase("reviewed");
    const std::string damaged = stored.dump(1) + "\n";
    put(store.path(), damaged);
    EXPECT_TRUE(store.load().empty());
    EXPECT_EQ(names(folder.path / "new").size(), 1u); // nothing moves until something is saved

    const std::vector<Event> fresh{{newUUID(), Timestamp{3.25}, Event::Level::warning, "c", false}};
    ASSERT_TRUE(store.save(fresh));
    ASSERT_TRUE(store.save(fresh)); // kept aside once only
    const auto files = names(folder.path / "new");
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[1].rfind("events.json.unreadable-2", 0), 0u) << files[1];
    EXPECT_EQ(AtomicFile::read(folder.path / "new" / files[1]), damaged);
    EXPECT_EQ(EventStore(store.path()).load(), fresh);
}

TEST(Persistence, WritesThatCannotHappenFailWithoutThrowingOrLeavingFiles) {
    TempFolder folder;
    put(folder.path / "file", "x");
    put(folder.path / "folder" / "inside", "y"); // a folder in the way, that rename cannot replace
    for (const auto& target : {folder.path / "file" / "events.json", folder.path / "folder"}) {
        EventStore events(target);
        EXPECT_TRUE(events.load().empty());
        EXPECT_FALSE(events.save({})) << target;
        EXPECT_FALSE(SettingsStore(target).set("k", 1)) << target;
    }
    EXPECT_FALSE(AtomicFile::write(folder.path / "folder", "z")); // the rename itself fails
    EXPECT_EQ(names(folder.path), (std::vector<std::string>{"file", "folder"}));
    EXPECT_EQ(names(folder.path / "folder"), std::vector<std::string>{"inside"});
    EXPECT_EQ(AtomicFile::read(folder.path / "file"), "x");
}

TEST(Persistence, KeepAsideNeverOverwritesAnEarlierCopy) {
    TempFolder folder;
    const fs::path file = folder.path / "defaults.json";
    EXPECT_FALSE(AtomicFile::keepAside(file));
    put(file, "{broken");
    // Take the plain names for this second and the next, in case the clock ticks meanwhile.
    std::vector<std::string> expected;
    for (std::time_t t = std::time(nullptr); expected.size() < 2; ++t) {
        char stamp[32];
        std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%S", std::localtime(&t));
        const std::string taken = file.string() + ".unreadable-" + stamp;
        put(taken, "earlier");
        expected.push_back(taken + "-2");
    }
    const auto aside = AtomicFile::keepAside(file);
    ASSERT_TRUE(aside);
    EXPECT_TRUE(aside->string() == expected[0] || aside->string() == expected[1]) << *aside;
    EXPECT_EQ(AtomicFile::read(*aside), "{broken");
    EXPECT_EQ(names(folder.path).size(), 4u);
}

TEST(SettingsStore, UnreadableFileIsKeptAsideOnFirstSetAndValuesSurviveReload) {
    for (const std::string damaged : {"[1,2]", "{broken", "\"text\"", ""}) {
        TempFolder folder;
        const fs::path file = folder.path / "defaults.json";
        put(file, damaged);
        SettingsStore settings(file);
        EXPECT_EQ(settings.value("autoPause"), nullptr);
        ASSERT_TRUE(settings.set("autoPause", false));
        ASSERT_TRUE(settings.set("knownInputs", json::array({"a"})));
        const auto files = names(folder.path);
        ASSERT_EQ(files.size(), 2u) << damaged;
        EXPECT_EQ(AtomicFile::read(folder.path / files[1]), damaged);

        const SettingsStore reloaded(file);
        EXPECT_EQ(reloaded.boolean("autoPause"), false);
        EXPECT_EQ(reloaded.boolean("knownInputs"), std::nullopt); // present, but not a boolean
        ASSERT_NE(reloaded.value("knownInputs"), nullptr);
        EXPECT_EQ(*reloaded.value("knownInputs"), json::array({"a"}));
    }
}

TEST(SettingsStore, KeepAsideBeforeNextWriteCopiesTheCurrentFileOnce) {
    TempFolder folder;
    const fs::path file = folder.path / "defaults.json";
    SettingsStore settings(file); // missing: nothing to keep
    ASSERT_TRUE(settings.set("knownUSB", "not a list"));
    EXPECT_EQ(names(folder.path).size(), 1u);
    const auto before = AtomicFile::read(file);

    settings.keepAsideBeforeNextWrite();
    ASSERT_TRUE(settings.set("knownUSB", json::array()));
    ASSERT_TRUE(settings.set("autoPause", true));
    const auto files = names(folder.path);
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(AtomicFile::read(folder.path / files[1]), before);
}

TEST(Persistence, StandardPathsFollowTheXDGRules) {
    const EnvGuard home("HOME", "/home/ada");
    const std::string events = "/Vantrel/events.json", settings = "/Vantrel/defaults.json";
    // An unset, empty or relative variable falls back to the folder under the home folder.
    for (const char* value : {"/x/y", static_cast<const char*>(nullptr), "", "relative/dir"}) {
        const EnvGuard data("XDG_DATA_HOME", value);
        const EnvGuard config("XDG_CONFIG_HOME", value);
        const bool own = value != nullptr && value[0] == '/';
        EXPECT_EQ(EventStore::standardPath(), (own ? value : "/home/ada/.local/share") + events);
        EXPECT_EQ(SettingsStore::standardPath(), (own ? value : "/home/ada/.config") + settings);
    }
}

std::string nested(int depth) {
    return std::string(static_cast<std::size_t>(depth), '[') +
           std::string(static_cast<std::size_t>(depth), ']');
}

// `text` with spaces after its first character, `size` bytes in all.
std::string padded(std::string text, std::size_t size) {
    text.insert(1, size - text.size(), ' ');
    return text;
}

ino_t inode(const fs::path& file) {
    struct stat info {};
    return ::stat(file.c_str(), &info) == 0 ? info.st_ino : 0;
}

TEST(Persistence, FilesPastTheBoundsOfSizeOrNestingAreKeptAsideAndReplaced) {
    struct Case {
        const char* leaf;
        std::string bytes;
        std::uintmax_t holes; // a sparse file of this size instead of `bytes`
        bool readable;
    };
    const Case cases[] = {
        {"events.json", "", std::uintmax_t{100} << 30, false},
        {"defaults.json", "", std::uintmax_t{100} << 30, false},
        {"events.json", padded("[]", EventStore::maxBytes), 0, true},
        {"events.json", padded("[]", EventStore::maxBytes + 1), 0, false},
        {"defaults.json", padded("{}", SettingsStore::maxBytes), 0, true},
        {"defaults.json", padded("{}", SettingsStore::maxBytes + 1), 0, false},
        {"defaults.json", "{\"a\":" + nested(63) + "}", 0, true},
        {"defaults.json", "{\"a\":" + nested(64) + "}", 0, false},
        {"defaults.json", "{\"knownUSB\":" + nested(100'000) + "}", 0, false},
        {"events.json", nested(100'000), 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.leaf) + " of " + std::to_string(c.bytes.size() + c.holes));
        TempFolder folder;
        const fs::path file = folder.path / c.leaf;
        put(file, c.bytes);
        if (c.holes != 0) {
            fs::resize_file(file, c.holes);
        }
        const ino_t before = inode(file);
        if (file.filename() == "events.json") {
            EventStore store(file);
            EXPECT_TRUE(store.load().empty());
            ASSERT_TRUE(store.save({}));
        } else {
            SettingsStore store(file);
            EXPECT_EQ(store.unreadable(), !c.readable);
            ASSERT_TRUE(store.set("autoPause", false));
        }
        const auto files = names(folder.path);
        ASSERT_EQ(files.size(), c.readable ? 1u : 2u);
        if (!c.readable) {
            const fs::path aside = folder.path / files[1];
            EXPECT_EQ(fs::file_size(aside), c.bytes.size() + c.holes);
            if (c.holes != 0) {
                EXPECT_EQ(inode(aside), before) << "renamed, never copied";
            } else {
                EXPECT_EQ(AtomicFile::read(aside), c.bytes);
            }
        }
    }
}

TEST(Persistence, WritesThatWouldNotReadBackAreRefused) {
    TempFolder folder;
    SettingsStore settings(folder.path / "defaults.json");
    ASSERT_TRUE(settings.set("autoPause", false));
    EXPECT_FALSE(settings.set("x", std::string(SettingsStore::maxBytes, 'x')));
    EXPECT_EQ(SettingsStore(settings.path()).boolean("autoPause"), false);

    EventStore events(folder.path / "events.json");
    const Event big{newUUID(), Timestamp{1}, Event::Level::info,
                    std::string(EventStore::maxBytes, 'x'), false};
    EXPECT_FALSE(events.save({big}));
    EXPECT_FALSE(AtomicFile::present(events.path()));
}

TEST(Persistence, AWriteFlushesTheFolderOnceTheNewFileIsInPlace) {
    TempFolder folder;
    const fs::path file = folder.path / "defaults.json";
    put(file, "old");
    std::vector<std::string> seen;
    folderFlushed = [&] { seen.push_back(AtomicFile::read(file).value_or("?")); };
    const bool written = AtomicFile::write(file, "new");
    folderFlushed = nullptr;
    ASSERT_TRUE(written);
    EXPECT_EQ(seen, std::vector<std::string>{"new"});
}

TEST(Persistence, ALinkedSettingsFileIsWrittenAtItsTarget) {
    TempFolder folder;
    put(folder.path / "dotfiles" / "vantrel.json", R"({"autoPause": true})");
    fs::create_directories(folder.path / "config");
    const fs::path link = folder.path / "config" / "defaults.json";
    fs::create_symlink("../dotfiles/vantrel.json", link);

    SettingsStore settings(link);
    ASSERT_TRUE(settings.set("autoPause", false));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(SettingsStore(folder.path / "dotfiles" / "vantrel.json").boolean("autoPause"), false);
    EXPECT_EQ(names(folder.path / "config"), std::vector<std::string>{"defaults.json"});
    EXPECT_EQ(names(folder.path / "dotfiles"), std::vector<std::string>{"vantrel.json"});
}

TEST(Persistence, StoresRemoveOnlyTheTemporaryFilesOfTheirOwnWritesAtStart) {
    TempFolder folder;
    const std::vector<std::string> stale{"defaults.json.tmp-a1B2c3", "events.json.tmp-ZZ99yy"};
    const std::vector<std::string> others{
        "defaults.json.tmp-a1B2c",    "defaults.json.tmp-a1B2c3d", "defaults.json.tmp-a1_2c3",
        "other.json.tmp-a1B2c3",      "xdefaults.json.tmp-a1B2c3", "defaults.json.unreadable-1",
        "events.json.tmp-a1B2c3.keep"};
    for (const auto& name : stale) {
        put(folder.path / name, "{");
    }
    for (const auto& name : others) {
        put(folder.path / name, "{");
    }
    fs::create_directory(folder.path / "defaults.json.tmp-Folder");
    const SettingsStore settings(folder.path / "defaults.json");
    const EventStore events(folder.path / "events.json");
    auto expected = others;
    expected.emplace_back("defaults.json.tmp-Folder");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names(folder.path), expected);
}

} // namespace
} // namespace vantrel
