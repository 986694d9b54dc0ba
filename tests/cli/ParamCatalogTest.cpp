#include "cli/ParamCatalog.h"

#include <gtest/gtest.h>

#include <set>

namespace {

using namespace cli;

TEST(ParamCatalog, Has122ParametersWithUniqueIdsAndIdentifiersLeavingTheUnassignedIds)
{
    const auto &catalog = ParamCatalog();
    ASSERT_EQ(catalog.size(), 122u);
    std::set<int> ids;
    std::set<std::string> names;
    for (const CatalogEntry &e : catalog) {
        EXPECT_TRUE(ids.insert(e.id).second) << "duplicate id " << e.id;
        EXPECT_TRUE(names.insert(e.identifier).second) << "duplicate " << e.identifier;
        EXPECT_FALSE(e.meaning.empty()) << e.identifier;
        EXPECT_EQ(FindCatalogEntryById(e.id), &e) << e.identifier;
    }
    // 1..141 less these is exactly the catalogue.
    for (int id : {28, 29, 30, 31, 38, 39, 44, 51, 56, 68, 69, 74, 81, 86, 98, 99, 104, 111, 116}) {
        EXPECT_EQ(FindCatalogEntryById(id), nullptr) << id;
    }
    EXPECT_EQ(*ids.begin(), 1);
    EXPECT_EQ(*ids.rbegin(), 141);
}

TEST(ParamCatalog, IsInControlOrder)
{
    // Control index = position + 1 (index 0 is the input layer).
    const auto &catalog = ParamCatalog();
    for (const auto &[position, identifier, id] : {std::tuple{0, "DotShape", 1},
                                                   {11, "CenterDotToFront", 125},
                                                   {38, "EffectMap1", 136},
                                                   {62, "Effector2", 65},
                                                   {119, "BlendColor3", 123},
                                                   {121, "EffectorEnd3", 96}}) {
        EXPECT_EQ(catalog[position].identifier, identifier) << position;
        EXPECT_EQ(catalog[position].id, id) << position;
    }
}

TEST(ParamCatalog, EffectorIdsFollowTheirGroupRule)
{
    // Within the effector groups, effector 2's id is effector 1's plus 30 and
    // effector 3's plus 60, except for ids from 126 up, which count by one.
    const auto &catalog = ParamCatalog();
    for (std::size_t i = 32; i < 62; ++i) {
        const CatalogEntry &one = catalog[i], &two = catalog[i + 30], &three = catalog[i + 60];
        ASSERT_EQ(one.identifier.back(), '1');
        const std::string stem = one.identifier.substr(0, one.identifier.size() - 1);
        EXPECT_EQ(two.identifier, stem + "2");
        EXPECT_EQ(three.identifier, stem + "3");
        const int step = one.id >= 126 ? 1 : 30;
        EXPECT_EQ(two.id, one.id + step) << stem;
        EXPECT_EQ(three.id, one.id + 2 * step) << stem;
    }
    EXPECT_EQ(FindCatalogEntry("HueOffset3")->meaning, "hue offset 3");
    EXPECT_EQ(FindCatalogEntry("CustomMapLayer3")->id, 105);
}

TEST(ParamCatalog, FindsIdentifiersExactlyThenIgnoringCase)
{
    ASSERT_NE(FindCatalogEntry("dotsize"), nullptr);
    EXPECT_EQ(FindCatalogEntry("dotsize")->identifier, "DotSize");
    EXPECT_EQ(FindCatalogEntry("DotSize")->id, 3);
    EXPECT_EQ(FindCatalogEntry("DotSize4"), nullptr);
    EXPECT_EQ(FindCatalogEntry(""), nullptr);
}

TEST(ParamCatalog, SuggestsTheNearestIdentifiersByEditDistance)
{
    EXPECT_EQ(EditDistance("kitten", "sitting"), 3u);
    EXPECT_EQ(EditDistance("", "abc"), 3u);
    EXPECT_EQ(EditDistance("DotSize", "dotsize"), 0u);
    EXPECT_EQ(NearestIdentifiers("EnableEfector2").at(0), "EnableEffector2");
    // Equally near names keep control order.
    EXPECT_EQ(NearestIdentifiers("Tile", 3), (std::vector<std::string>{"Tile1", "Tile2", "Tile3"}));
    EXPECT_TRUE(NearestIdentifiers("Frobnicate").empty());
    EXPECT_TRUE(NearestIdentifiers("x").empty());
}

}  // namespace
