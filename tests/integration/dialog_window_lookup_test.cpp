// Open property dialogs are windows an application finds as on Windows: a top-level sheet of
// class "#32770" with its title, and its pages as its children in tab order.
#include <string>
#include <vector>

#include "integration/dialog_fixture.h"

namespace tavlin::test {
namespace {

using DialogWindowLookupTest = DialogTest;

TEST_F(DialogWindowLookupTest, SheetIsATopLevelDialogWithItsPagesAsChildren) {
    ASSERT_EQ(Tavlin_SetColorMode(camera_, 8), 1);  // a gray mode adds the gray filter page
    OpenDialog(Tavlin_SetImageDlg);
    char title[64] = {};
    ASSERT_GT(TavlinHost_DialogGetTitle(dialog_, title, sizeof title), 0);

    EXPECT_EQ(TavlinHost_FindWindow("#32770", title), dialog_);
    EXPECT_EQ(TavlinHost_GetParent(dialog_), nullptr);
    char name[16] = {};
    EXPECT_EQ(TavlinHost_GetClassName(dialog_, name, sizeof name), 6);
    EXPECT_STREQ(name, "#32770");
    char text[64] = {};
    EXPECT_EQ(TavlinHost_GetWindowText(dialog_, text, sizeof text),
              int32_t(std::string(title).size()));
    EXPECT_STREQ(text, title);

    std::vector<TAVLIN_HWND> pages;
    for (TAVLIN_HWND page = TavlinHost_DialogPage(dialog_, 0); page != nullptr;
         page = TavlinHost_DialogPage(dialog_, int32_t(pages.size()))) {
        pages.push_back(page);
    }
    ASSERT_GE(pages.size(), 2u);
    std::vector<TAVLIN_HWND> walked;
    for (TAVLIN_HWND w = TavlinHost_GetWindow(dialog_, TAVLIN_GW_CHILD); w != nullptr;
         w = TavlinHost_GetWindow(w, TAVLIN_GW_HWNDNEXT)) {
        walked.push_back(w);
    }
    EXPECT_EQ(walked, pages) << "pages in tab order";
    EXPECT_EQ(TavlinHost_FindWindowEx(dialog_, pages[0], "#32770", nullptr), pages[1]);
    EXPECT_EQ(TavlinHost_GetParent(pages[1]), dialog_);
    EXPECT_EQ(TavlinHost_EnumChildWindows(dialog_, nullptr, 0), int32_t(pages.size()));

    const TAVLIN_HWND sheet = dialog_;
    EXPECT_EQ(CloseWith(2), 1);
    EXPECT_EQ(TavlinHost_FindWindow("#32770", title), nullptr);
    EXPECT_EQ(TavlinHost_GetWindow(sheet, TAVLIN_GW_CHILD), nullptr);
    EXPECT_EQ(TavlinHost_FindWindowEx(sheet, nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(TavlinHost_GetWindowText(pages[0], text, sizeof text), -1);
}

}  // namespace
}  // namespace tavlin::test
