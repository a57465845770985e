#include "core/Vendors.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

TEST(Vendors, LookupIsExact) {
    struct Case {
        std::int64_t id;
        bool known;
        bool programmable;
        bool hasAbout;
    };
    const Case cases[] = {
        {0x05AC, true, false, false}, // Apple: in the table, no description
        {0x046D, true, false, true},      {0x0BDA, true, false, true},
        {0x1A86, true, true, true},       {0x0403, true, true, true},
        {0x16C0, true, true, true},       {0x1209, true, true, true},
        {0, false, false, false},         {-1, false, false, false},
        {0x10005AC, false, false, false}, {0xFFFF, false, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        auto info = Vendors::lookup(c.id);
        ASSERT_EQ(info.has_value(), c.known);
        if (info) {
            EXPECT_EQ(info->programmable, c.programmable);
            EXPECT_EQ(info->diy(), c.programmable);
            EXPECT_FALSE(info->name.empty());
        }
        EXPECT_EQ(Vendors::about(c.id).has_value(), c.hasAbout);
    }
    EXPECT_EQ(Vendors::lookup(0x05AC), (VendorInfo{"Apple", false}));
    EXPECT_EQ(Vendors::about(0x1A86), "QinHeng, whose low-cost chips turn up in cheap cables and "
                                      "in do-it-yourself gadgets that pretend to be keyboards.");
}

TEST(Vendors, OpenEntriesFollowTheirForm) {
    const std::string boards = Vendors::lookup(0x16C0)->name;
    EXPECT_TRUE(boards.ends_with(" (programmable boards)"));
    EXPECT_NE(boards.find(" / "), std::string::npos);
    EXPECT_TRUE(Vendors::lookup(0x1209)->name.ends_with(" (open-source hardware)"));
}

TEST(Vendors, TableHoldsNineteenPlainAndElevenProgrammableMakers) {
    int plain = 0, programmable = 0, abouts = 0;
    for (std::int64_t id = 0; id <= 0xFFFF; ++id) {
        if (auto info = Vendors::lookup(id)) {
            ++(info->programmable ? programmable : plain);
        }
        abouts += Vendors::about(id).has_value();
    }
    EXPECT_EQ(plain, 19);
    EXPECT_EQ(programmable, 11);
    EXPECT_EQ(abouts, 29);
}

} // namespace
} // namespace vantrel
