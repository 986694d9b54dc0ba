#include "cli/MemoryBudget.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "cli/Errors.h"

namespace {

using namespace cli;

TEST(MemoryBudget, SizesTakeBinaryUnitsAndRefuseAnythingElse)
{
    EXPECT_EQ(ParseMemorySize("512M"), 512u << 20);
    EXPECT_EQ(ParseMemorySize("2g"), std::uint64_t{2} << 30);
    EXPECT_EQ(ParseMemorySize("1.5KB"), 1536u);
    EXPECT_EQ(ParseMemorySize("1048576"), 1048576u);
    for (const char *bad : {"", "-1", "0", "12X", "M", "inf", " 5M", "5 M", "1MM"}) {
        EXPECT_THROW(ParseMemorySize(bad), UsageError) << bad;
    }
    const std::uint64_t physical = static_cast<std::uint64_t>(::sysconf(_SC_PHYS_PAGES)) *
                                   static_cast<std::uint64_t>(::sysconf(_SC_PAGE_SIZE));
    EXPECT_GT(DefaultMemoryLimit(), 0u);
    EXPECT_LE(DefaultMemoryLimit(), physical / 2);
    EXPECT_EQ(FormatBytes(512u << 20), "512 MiB");
    EXPECT_EQ(FormatBytes(1536u), "1.5 KiB");
}

}  // namespace
