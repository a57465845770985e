#include "app/engine/AtomicFile.h"
#include "app/engine/Event.h"
#include "app/engine/EventStore.h"
#include "app/engine/SettingsStore.h"
#include "tests/TestSupport.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

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

} // namespace
} // namespace vantrel
