// The compiled-in resources: both languages offer the same controls, and the texts a user reads
// differ only where a language has its own.
#include <gtest/gtest.h>

#include <set>
#include <utility>

#include "dialogs/dialog_template.h"

namespace tavlin::dialogs {
namespace {

using IdSet = std::set<std::pair<int32_t, int>>;

IdSet Controls(int32_t resource) {
    const DialogTemplate* t = FindDialogTemplate(resource);
    IdSet ids;
    if (t == nullptr) return ids;
    for (const ControlTemplate& c : t->controls) {
        if (c.id != kNoId) ids.insert({c.id, static_cast<int>(c.kind)});
    }
    return ids;
}

TEST(DialogTemplates, EveryResourceExistsAndNothingElse) {
    for (int32_t id = 101; id <= 113; ++id) {
        const DialogTemplate* t = FindDialogTemplate(id);
        if (id == 109) {
            EXPECT_EQ(t, nullptr);
            continue;
        }
        ASSERT_NE(t, nullptr) << id;
        EXPECT_EQ(t->fontName, "MS Shell Dlg");
        EXPECT_EQ(t->fontPoints, 8);
        // Japanese 101-105 and 113: the presenter chooses their fonts for Japanese text.
        const bool japanese = id <= 105 || id == 113;
        EXPECT_EQ(t->language, japanese ? "ja" : "en") << id;
    }
    EXPECT_EQ(FindDialogTemplate(100), nullptr);
    EXPECT_EQ(FindDialogTemplate(114), nullptr);
}

TEST(DialogTemplates, JapaneseAndEnglishResourcesHoldTheSameControls) {
    const std::pair<int32_t, int32_t> pairs[] = {{101, 106}, {102, 108}, {103, 107},
                                                 {104, 111}, {105, 110}, {113, 112}};
    for (const auto& [japanese, english] : pairs) {
        EXPECT_FALSE(Controls(japanese).empty()) << japanese;
        EXPECT_EQ(Controls(japanese), Controls(english)) << japanese << " / " << english;
    }
}

TEST(DialogTemplates, SheetsAndPagesHaveTheirSizesAndTitles) {
    struct Expected {
        int32_t id, width, height;
        const char* title;
    };
    const Expected sizes[] = {{101, 313, 229, "プロパティ"}, {104, 294, 199, "プロパティ"},
                              {111, 294, 178, "Property"},   {108, 294, 194, "Property"},
                              {105, 251, 146, ""},           {110, 238, 126, ""},
                              {107, 251, 142, ""},           {112, 251, 142, ""}};
    for (const Expected& e : sizes) {
        const DialogTemplate* t = FindDialogTemplate(e.id);
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(t->width, e.width) << e.id;
        EXPECT_EQ(t->height, e.height) << e.id;
        EXPECT_EQ(t->title, e.title) << e.id;
        EXPECT_EQ(t->childPage, e.title[0] == '\0') << e.id;
    }
}

TEST(DialogTemplates, ControlsLieInsideTheirDialog) {
    for (int32_t id = 101; id <= 113; ++id) {
        const DialogTemplate* t = FindDialogTemplate(id);
        if (t == nullptr) continue;
        for (const ControlTemplate& c : t->controls) {
            // Drop-down lists declare their open height, which may reach below the dialog.
            const int32_t bottom =
                c.kind == ControlKind::DropDownList ? c.rect.y : c.rect.y + c.rect.height;
            EXPECT_LE(c.rect.x + c.rect.width, t->width) << id << ": " << c.id << " " << c.text;
            EXPECT_LE(bottom, t->height) << id << ": " << c.id << " " << c.text;
        }
    }
}

}  // namespace
}  // namespace tavlin::dialogs
