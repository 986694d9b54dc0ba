#include "cli/ParamCatalog.h"

#include <gtest/gtest.h>

#include <set>

namespace {

using namespace cli;

TEST(ParamCatalog, Has122ParametersWithUniqueIdsAndIdentifiers)
{
    const auto &catalog = ParamCatalog();
    ASSERT_EQ(catalog.size(), 122u);
    std::set<int> ids;
    std::set<std::string> names;
    for (const CatalogEntry &e : catalog) {
        EXPECT_TRUE(ids.insert(e.id).second) << "duplicate id " << e.id;
        EXPECT_TRUE(names.insert(e.identifier).second) << "duplicate " << e.identifier;
        EXPECT_FALSE(e.meaning.empty()) << e.identifier;
    }
}

TEST(ParamCatalog, UsesNoneOfTheUnassignedIds)
{
    for (int id : {28, 29, 30, 31, 38, 39, 44, 51, 56, 68, 69, 74, 81, 86, 98, 99, 104, 111, 116}) {
        EXPECT_EQ(FindCatalogEntryById(id), nullptr) << id;
    }
    // What is left of 1..141 is exactly the catalogue.
    int assigned = 0;
    for (int id = 1; id <= 141; ++id) {
        assigned += FindCatalogEntryById(id) != nullptr;
    }
    EXPECT_EQ(assigned, 122);
}

TEST(ParamCatalog, IsInControlOrder)
{
    const auto &catalog = ParamCatalog();
    // Control index = position + 1 (index 0 is the input layer).
    EXPECT_EQ(catalog[0].identifier, "DotShape");
    EXPECT_EQ(catalog[11].identifier, "CenterDotToFront");
    EXPECT_EQ(catalog[11].id, 125);
    EXPECT_EQ(catalog[38].identifier, "EffectMap1");  // index 39
    EXPECT_EQ(catalog[38].id, 136);
    EXPECT_EQ(catalog[121].identifier, "EffectorEnd3");  // index 122
    EXPECT_EQ(catalog[121].id, 96);
    EXPECT_EQ(catalog[62].identifier, "Effector2");  // index 63
    EXPECT_EQ(catalog[62].id, 65);
    EXPECT_EQ(catalog[119].identifier, "BlendColor3");  // index 120
    EXPECT_EQ(catalog[119].id, 123);
}

TEST(ParamCatalog, EffectorIdsFollowTheirGroupRule)
{
    // Within the effector groups, effector 2's id is effector 1's plus 30 and
    // effector 3's plus 60, except for ids from 126 up, which count by one.
    const auto &catalog = ParamCatalog();
    for (std::size_t i = 32; i < 62; ++i) {
        const CatalogEntry &one = catalog[i];
        const CatalogEntry &two = catalog[i + 30];
        const CatalogEntry &three = catalog[i + 60];
        ASSERT_EQ(one.identifier.back(), '1');
        const std::string stem = one.identifier.substr(0, one.identifier.size() - 1);
        EXPECT_EQ(two.identifier, stem + "2");
        EXPECT_EQ(three.identifier, stem + "3");
        if (one.id >= 126) {
            EXPECT_EQ(two.id, one.id + 1) << stem;
            EXPECT_EQ(three.id, one.id + 2) << stem;
        } else {
            EXPECT_EQ(two.id, one.id + 30) << stem;
            EXPECT_EQ(three.id, one.id + 60) << stem;
        }
    }
}

TEST(ParamCatalog, EffectorMeaningsCarryTheirDigit)
{
    EXPECT_EQ(FindCatalogEntry("EnableEffector2")->meaning, "enable effector 2");
    EXPECT_EQ(FindCatalogEntry("HueOffset3")->meaning, "hue offset 3");
    EXPECT_EQ(FindCatalogEntry("CustomMapLayer3")->id, 105);
}

TEST(ParamCatalog, FindsIdentifiersExactlyThenIgnoringCase)
{
    ASSERT_NE(FindCatalogEntry("DotSize"), nullptr);
    EXPECT_EQ(FindCatalogEntry("DotSize")->id, 3);
    ASSERT_NE(FindCatalogEntry("dotsize"), nullptr);
    EXPECT_EQ(FindCatalogEntry("dotsize")->identifier, "DotSize");
    EXPECT_EQ(FindCatalogEntry("DotSize4"), nullptr);
    EXPECT_EQ(FindCatalogEntry(""), nullptr);
}

TEST(ParamCatalog, EditDistanceCountsInsertionsDeletionsAndSubstitutions)
{
    EXPECT_EQ(EditDistance("kitten", "sitting"), 3u);
    EXPECT_EQ(EditDistance("", "abc"), 3u);
    EXPECT_EQ(EditDistance("DotSize", "dotsize"), 0u);
    EXPECT_EQ(EditDistance("Tile1", "Tile2"), 1u);
}

TEST(ParamCatalog, SuggestsTheNearestIdentifiersFirst)
{
    const auto near = NearestIdentifiers("DotSiz");
    ASSERT_FALSE(near.empty());
    EXPECT_EQ(near[0], "DotSize");

    const auto typo = NearestIdentifiers("EnableEfector2");
    ASSERT_FALSE(typo.empty());
    EXPECT_EQ(typo[0], "EnableEffector2");

    // Equally near names keep control order: Tile1, Tile2, Tile3.
    const auto tiles = NearestIdentifiers("Tile", 3);
    ASSERT_EQ(tiles.size(), 3u);
    EXPECT_EQ(tiles[0], "Tile1");
    EXPECT_EQ(tiles[2], "Tile3");
}

TEST(ParamCatalog, SuggestsNothingForUnrelatedNames)
{
    EXPECT_TRUE(NearestIdentifiers("Frobnicate").empty());
    EXPECT_TRUE(NearestIdentifiers("x").empty());
}

}  // namespace
