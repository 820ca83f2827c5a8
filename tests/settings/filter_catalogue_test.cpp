// The filter catalogue's lookups and the defaults the settings take from it.
#include <gtest/gtest.h>

#include "settings/filter_catalogue.h"
#include "settings/settings_keys.h"

namespace tavlin::settings {
namespace {

TEST(FilterCatalogueTest, FindsIdsOneToTwentyEightOnly) {
    EXPECT_EQ(FindFilter(0), nullptr);
    EXPECT_EQ(FindFilter(29), nullptr);
    EXPECT_EQ(FindFilter(-1), nullptr);
    for (int32_t id = 1; id <= 28; ++id) {
        ASSERT_NE(FindFilter(id), nullptr);
        EXPECT_EQ(FindFilter(id)->id, id);
    }
}

TEST(FilterCatalogueTest, EachStoredIdHasAFieldOfItsOwn) {
    for (const FilterInfo& row : kFilterCatalogue) {
        const bool stored = row.kind == FilterKind::Stored || row.kind == FilterKind::Switch;
        EXPECT_EQ(stored, row.field != nullptr) << row.name;
    }
    FilterSettings filter;
    for (const FilterInfo& row : kFilterCatalogue) {
        if (row.field != nullptr) *row.field(filter) = 1000 + row.id;
    }
    for (const FilterInfo& row : kFilterCatalogue) {
        if (row.field != nullptr) {
            EXPECT_EQ(*row.field(filter), 1000 + row.id) << row.name;
        }
    }
    EXPECT_EQ(filter.gamma, 1011);
    EXPECT_EQ(filter.whiteBalance.bayerGainAuto, 1010);
    EXPECT_EQ(filter.gray.grayOffsetB, 1027);
    EXPECT_EQ(filter.grayAutoRequest, 1028);
    EXPECT_EQ(filter.whiteBalance.onceMarkA, 0);  // no filter id
}

TEST(FilterCatalogueTest, ImageFilterDefaultsTouchOnlyTheImageBlock) {
    FilterSettings filter;
    filter.gray.grayGainR = 7;
    filter.whiteBalance.bayerGainAuto = 1;
    filter.grayAutoRequest = 3;
    ApplyDefaultImageFilter(filter);
    EXPECT_EQ(filter.brightness, 0);
    EXPECT_EQ(filter.bayerGainR, 100);
    EXPECT_EQ(filter.bayerGainG, 100);
    EXPECT_EQ(filter.bayerGainB, 100);
    EXPECT_EQ(filter.gamma, 100);
    EXPECT_EQ(filter.bayerMode, 3);
    EXPECT_EQ(filter.gray.grayGainR, 7);
    EXPECT_EQ(filter.whiteBalance.bayerGainAuto, 1);
    EXPECT_EQ(filter.grayAutoRequest, 3);
}

TEST(FilterCatalogueTest, GrayDefaultsAreUnitGainsWithoutOffsets) {
    EXPECT_EQ(kDefaultGraySettings.grayMode, 0);
    for (const int32_t gain : {kDefaultGraySettings.grayGainR, kDefaultGraySettings.grayGainG1,
                               kDefaultGraySettings.grayGainG2, kDefaultGraySettings.grayGainB}) {
        EXPECT_EQ(gain, 128);
    }
    for (const int32_t offset :
         {kDefaultGraySettings.grayOffsetR, kDefaultGraySettings.grayOffsetG1,
          kDefaultGraySettings.grayOffsetG2, kDefaultGraySettings.grayOffsetB}) {
        EXPECT_EQ(offset, 0);
    }
}

TEST(FilterCatalogueTest, SensorRowsNameTheirAnalogFieldAndRegister) {
    AnalogSettings analog;
    for (const FilterInfo& row : kFilterCatalogue) {
        if (row.block != FilterBlock::Analog) continue;
        ASSERT_NE(row.analogField, nullptr) << row.name;
        EXPECT_NE(row.sensorRegister, 0) << row.name;
        analog.*row.analogField = row.id;
    }
    EXPECT_EQ(analog.globalGain, 13);
    EXPECT_EQ(analog.colorGainR, 14);
    EXPECT_EQ(analog.colorGainG1, 15);
    EXPECT_EQ(analog.colorGainG2, 16);
    EXPECT_EQ(analog.colorGainB, 17);
    EXPECT_EQ(analog.exposure, 18);
    EXPECT_EQ(FindFilter(14)->sensorRegister, 45);
    EXPECT_EQ(FindFilter(17)->sensorRegister, 44);
}

}  // namespace
}  // namespace tavlin::settings
