#include "window/window_tree.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>
#include <vector>

namespace tavlin::platform::window_tree {
namespace {

constexpr int32_t kFirst = 0, kLast = 1, kNext = 2, kPrevious = 3, kChild = 5;

class WindowTreeTest : public ::testing::Test {
  protected:
    WindowHandle Add(WindowHandle handle, WindowHandle parent, std::string className = "C",
                     std::string title = "T", bool listed = true) {
        table_[handle] = std::make_shared<HostWindow>(
            WindowIdentity{std::move(className), std::move(title), parent, listed});
        return handle;
    }
    WindowHandle AddMessageWindow(WindowHandle handle) {
        table_[handle] = std::make_shared<HostWindow>();
        return handle;
    }
    std::vector<WindowHandle> Walk(WindowHandle first) const {
        std::vector<WindowHandle> seen;
        for (WindowHandle w = first; w != 0 && seen.size() < 20; w = Related(table_, w, kNext)) {
            seen.push_back(w);
        }
        return seen;
    }

    WindowTable table_;
};

TEST_F(WindowTreeTest, ChildrenComeOldestFirstAndTopLevelWindowsNewestFirst) {
    const WindowHandle parent = Add(0x10, 0);
    const WindowHandle other = Add(0x20, 0);
    const WindowHandle a = Add(0x30, parent, "Preview", "A");
    const WindowHandle b = Add(0x40, parent, "Preview", "B");
    const WindowHandle c = Add(0x50, parent, "Other", "C");
    const WindowHandle newest = Add(0x60, 0);

    EXPECT_EQ(Walk(Related(table_, parent, kChild)), (std::vector<WindowHandle>{a, b, c}));
    EXPECT_EQ(Walk(Find(table_, 0, 0, nullptr, nullptr)),
              (std::vector<WindowHandle>{newest, other, parent}));
    EXPECT_EQ(Related(table_, b, kFirst), a);
    EXPECT_EQ(Related(table_, b, kLast), c);
    EXPECT_EQ(Related(table_, a, kPrevious), 0u);
    EXPECT_EQ(Related(table_, c, kPrevious), b);
    EXPECT_EQ(Related(table_, parent, kFirst), newest);
    EXPECT_EQ(Related(table_, parent, kLast), parent);
    EXPECT_EQ(Related(table_, other, kChild), 0u);

    // FindWindowEx continues after the child it is given, up to the end.
    EXPECT_EQ(Find(table_, parent, 0, "Preview", nullptr), a);
    EXPECT_EQ(Find(table_, parent, a, "Preview", nullptr), b);
    EXPECT_EQ(Find(table_, parent, b, "Preview", nullptr), 0u);
    EXPECT_EQ(Find(table_, parent, a, nullptr, nullptr), b);
    EXPECT_EQ(Find(table_, parent, c, nullptr, nullptr), 0u);
    EXPECT_EQ(Find(table_, 0, newest, nullptr, nullptr), other);

    for (const int32_t unknown : {-1, 4, 6, INT_MAX, INT_MIN}) {
        EXPECT_EQ(Related(table_, b, unknown), 0u) << unknown;
    }
}

TEST_F(WindowTreeTest, NamesMatchWholeIgnoringAsciiCase) {
    const std::string longClass(300, 'k');
    const std::string hugeTitle(100000, 't');
    const WindowHandle parent = Add(0x10, 0);
    const WindowHandle preview = Add(0x20, parent, "VideoRenderer_0000abcd_00001234", "Active");
    const WindowHandle accented = Add(0x30, parent, "X", "\xC3\x84rger");  // "Ärger"
    const WindowHandle empty = Add(0x40, parent, "X", "");
    const WindowHandle overlong = Add(0x50, parent, longClass, hugeTitle);

    EXPECT_EQ(Find(table_, parent, 0, "videorenderer_0000ABCD_00001234", "ACTIVE"), preview);
    EXPECT_EQ(Find(table_, parent, 0, "VideoRenderer_0000abcd_0000123", nullptr), 0u);
    EXPECT_EQ(Find(table_, parent, 0, "VideoRenderer_0000abcd_000012345", nullptr), 0u);
    EXPECT_EQ(Find(table_, parent, 0, nullptr, "Activ"), 0u);
    EXPECT_EQ(Find(table_, parent, 0, nullptr, "Active "), 0u);
    // Case folding stops at ASCII: a different UTF-8 letter is a different title.
    EXPECT_EQ(Find(table_, parent, 0, nullptr, "\xC3\x84RGER"), accented);
    EXPECT_EQ(Find(table_, parent, 0, nullptr, "\xC3\xA4rger"), 0u);  // "ärger"
    EXPECT_EQ(Find(table_, parent, 0, "X", ""), empty);
    EXPECT_EQ(Find(table_, parent, 0, "", nullptr), 0u);

    // Text of any length matches only a window that has exactly that text.
    EXPECT_EQ(Find(table_, parent, 0, std::string(300, 'K').c_str(), nullptr), overlong);
    EXPECT_EQ(Find(table_, parent, 0, std::string(301, 'k').c_str(), nullptr), 0u);
    EXPECT_EQ(Find(table_, parent, 0, nullptr, hugeTitle.c_str()), overlong);
    EXPECT_EQ(Find(table_, parent, 0, nullptr, std::string(200000, 't').c_str()), 0u);
}

TEST_F(WindowTreeTest, WindowsOutsideTheTreeAreNeitherFoundNorWalkedFrom) {
    const WindowHandle messages = AddMessageWindow(0x10);
    const WindowHandle parent = Add(0x20, 0);
    const WindowHandle child = Add(0x30, parent);
    const WindowHandle grandchild = Add(0x40, child);
    const WindowHandle inMessageWindow = Add(0x50, messages);
    const WindowHandle otherParent = Add(0x60, 0);

    EXPECT_EQ(Walk(Find(table_, 0, 0, nullptr, nullptr)),
              (std::vector<WindowHandle>{otherParent, parent}));
    EXPECT_EQ(Find(table_, messages, 0, nullptr, nullptr), 0u);
    EXPECT_EQ(Related(table_, messages, kChild), 0u);
    EXPECT_EQ(Related(table_, inMessageWindow, kFirst), 0u);
    EXPECT_EQ(Find(table_, 0x70, 0, nullptr, nullptr), 0u) << "never issued";
    EXPECT_EQ(Related(table_, 0x70, kFirst), 0u);
    EXPECT_EQ(Related(table_, 0, kChild), 0u);

    // childAfter must be a direct child of the parent searched.
    EXPECT_EQ(Find(table_, parent, grandchild, nullptr, nullptr), 0u);
    EXPECT_EQ(Find(table_, otherParent, child, nullptr, nullptr), 0u);
    EXPECT_EQ(Find(table_, 0, child, nullptr, nullptr), 0u);
    EXPECT_EQ(Find(table_, parent, parent, nullptr, nullptr), 0u);
    EXPECT_EQ(Find(table_, parent, 0x31, nullptr, nullptr), 0u);

    // A destroyed parent takes its children out of the tree with it, grandchildren too.
    table_.erase(parent);
    EXPECT_EQ(Find(table_, parent, 0, nullptr, nullptr), 0u);
    EXPECT_EQ(Find(table_, child, 0, nullptr, nullptr), 0u);
    EXPECT_EQ(Related(table_, child, kChild), 0u);
    EXPECT_EQ(Related(table_, grandchild, kFirst), 0u);
    EXPECT_EQ(Find(table_, 0, 0, nullptr, nullptr), otherParent);
    EXPECT_EQ(Related(table_, otherParent, kNext), 0u);
    std::vector<WindowHandle> all;
    EXPECT_FALSE(Descendants(table_, child, &all));
}

TEST_F(WindowTreeTest, DescendantsListEachWindowBeforeItsChildren) {
    const WindowHandle sheet = Add(0x10, 0);
    const WindowHandle page1 = Add(0x20, sheet);
    const WindowHandle top = Add(0x30, 0);
    const WindowHandle page2 = Add(0x40, sheet);
    const WindowHandle inPage1 = Add(0x50, page1);
    AddMessageWindow(0x60);

    std::vector<WindowHandle> all{1, 2, 3};
    ASSERT_TRUE(Descendants(table_, sheet, &all));
    EXPECT_EQ(all, (std::vector<WindowHandle>{page1, inPage1, page2}));
    ASSERT_TRUE(Descendants(table_, 0, &all));
    EXPECT_EQ(all, (std::vector<WindowHandle>{top, sheet})) << "top-level windows only";
    ASSERT_TRUE(Descendants(table_, inPage1, &all));
    EXPECT_TRUE(all.empty());
    EXPECT_FALSE(Descendants(table_, 0x60, &all));
    EXPECT_FALSE(Descendants(table_, 0x70, &all));
}

}  // namespace
}  // namespace tavlin::platform::window_tree
