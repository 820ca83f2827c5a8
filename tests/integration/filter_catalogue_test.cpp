// The filter catalogue as the library describes it (TavlinExt_GetFilterInfo) is what
// Tavlin_SetFilterValue / Tavlin_GetFilterValue do, id by id.
#include <limits>
#include <set>
#include <string>

#include "integration/sdk_fixture.h"
#include "tavlin/tavlin_ext.h"

namespace tavlin::test {
namespace {

using FilterCatalogueTest = SdkTest;

std::vector<TavlinExtFilterInfo> Catalogue() {
    std::vector<TavlinExtFilterInfo> rows;
    for (int32_t i = 0; i < TavlinExt_GetFilterCount(); ++i) {
        TavlinExtFilterInfo info{};
        info.size = sizeof info;
        EXPECT_EQ(TavlinExt_GetFilterInfo(i, &info), 1) << i;
        rows.push_back(info);
    }
    return rows;
}

TEST(FilterCatalogueExportTest, DescribesIdsOneToTwentyEightAndRefusesBadArguments) {
    ASSERT_EQ(TavlinExt_GetFilterCount(), 28);
    std::set<std::string> names;
    int32_t expectedId = 1;
    for (const TavlinExtFilterInfo& info : Catalogue()) {
        EXPECT_EQ(info.id, expectedId++);
        EXPECT_EQ(info.size, sizeof(TavlinExtFilterInfo));
        EXPECT_LE(info.minimum, info.defaultValue) << info.id;
        EXPECT_LE(info.defaultValue, info.maximum) << info.id;
        EXPECT_TRUE(names.insert(info.name).second) << info.name;
    }
    EXPECT_EQ(Catalogue()[TAVLIN_FILTER_GAMMA - 1].name, std::string("gamma"));
    EXPECT_EQ(Catalogue()[TAVLIN_FILTER_GAMMA - 1].unit, std::string("percent"));
    EXPECT_EQ(Catalogue()[TAVLIN_FILTER_EXPOSURE_TIME - 1].flags, TAVLIN_EXT_FILTER_SENSOR);
    TavlinExtFilterInfo info{};
    info.size = sizeof info;
    EXPECT_EQ(TavlinExt_GetFilterInfo(-1, &info), 0);
    EXPECT_EQ(TavlinExt_GetFilterInfo(28, &info), 0);
    EXPECT_EQ(TavlinExt_GetFilterInfo(0, nullptr), 0);
    info.size = sizeof info - 1;
    EXPECT_EQ(TavlinExt_GetFilterInfo(0, &info), 0);
}

// A camera without stored settings starts from each id's default.
TEST_F(FilterCatalogueTest, FreshCameraHoldsTheDefaults) {
    for (const TavlinExtFilterInfo& info : Catalogue()) {
        int32_t ok = 0;
        EXPECT_EQ(Tavlin_GetFilterValue(camera_, info.id, &ok), info.defaultValue) << info.name;
        EXPECT_EQ(ok, 1) << info.name;
    }
    EXPECT_EQ(Errors(), std::vector<int32_t>{});
}

// Both ends are taken and read back; one past either end is refused with 9 and changes nothing.
TEST_F(FilterCatalogueTest, EveryIdTakesItsRangeAndRefusesOnePastIt) {
    for (const TavlinExtFilterInfo& info : Catalogue()) {
        const bool any = (info.flags & TAVLIN_EXT_FILTER_ANY_VALUE) != 0;
        for (const int32_t value : {info.maximum, info.minimum, info.defaultValue}) {
            EXPECT_EQ(Tavlin_SetFilterValue(camera_, info.id, value), 1) << info.name << value;
            if (!any) {
                EXPECT_EQ(Tavlin_GetFilterValue(camera_, info.id, nullptr), value) << info.name;
            }
        }
        if (any) {
            EXPECT_EQ(info.minimum, std::numeric_limits<int32_t>::min()) << info.name;
            EXPECT_EQ(info.maximum, std::numeric_limits<int32_t>::max()) << info.name;
            continue;
        }
        EXPECT_EQ(Tavlin_SetFilterValue(camera_, info.id, info.minimum - 1), 0) << info.name;
        EXPECT_EQ(Tavlin_SetFilterValue(camera_, info.id, info.maximum + 1), 0) << info.name;
        EXPECT_EQ(Tavlin_GetFilterValue(camera_, info.id, nullptr), info.defaultValue) << info.name;
        EXPECT_EQ(Errors(), (std::vector<int32_t>{9, 9})) << info.name;
        ClearErrors();
    }
    EXPECT_EQ(Tavlin_SetFilterValue(camera_, 0, 0), 0);
    EXPECT_EQ(Tavlin_SetFilterValue(camera_, TavlinExt_GetFilterCount() + 1, 0), 0);
}

}  // namespace
}  // namespace tavlin::test
