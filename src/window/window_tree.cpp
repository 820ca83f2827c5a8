#include "window/window_tree.h"

#include <algorithm>

#include "platform/ascii_case.h"

namespace tavlin::platform::window_tree {

namespace {

const WindowIdentity* ListedIdentity(const WindowTable& table, WindowHandle handle) {
    const auto it = table.find(handle);
    if (it == table.end() || !it->second->Identity().listed) return nullptr;
    return &it->second->Identity();
}

// A listed window whose ancestors are all listed windows too. A parent's handle is always older
// than its child's (it had to exist first), so the climb ends.
bool InTree(const WindowTable& table, WindowHandle handle) {
    while (handle != 0) {
        const WindowIdentity* identity = ListedIdentity(table, handle);
        if (identity == nullptr || identity->parent >= handle) return false;
        handle = identity->parent;
    }
    return true;
}

// The children of parent (0: the top-level windows) in z-order; the caller has checked that
// parent is in the tree.
std::vector<WindowHandle> Children(const WindowTable& table, WindowHandle parent) {
    std::vector<WindowHandle> children;
    for (const auto& [handle, window] : table) {
        const WindowIdentity& identity = window->Identity();
        if (identity.listed && identity.parent == parent) children.push_back(handle);
    }
    if (parent == 0) std::reverse(children.begin(), children.end());
    return children;
}

void AppendSubtree(const WindowTable& table, WindowHandle parent, std::vector<WindowHandle>* out) {
    for (const WindowHandle child : Children(table, parent)) {
        out->push_back(child);
        AppendSubtree(table, child, out);
    }
}

}  // namespace

bool NameMatches(const std::string& name, const char* wanted) {
    return wanted == nullptr || EqualIgnoringAsciiCase(name, wanted);
}

WindowHandle Find(const WindowTable& table, WindowHandle parent, WindowHandle childAfter,
                  const char* className, const char* title) {
    if (!InTree(table, parent)) return 0;
    const std::vector<WindowHandle> children = Children(table, parent);
    auto from = children.begin();
    if (childAfter != 0) {
        from = std::find(children.begin(), children.end(), childAfter);
        if (from == children.end()) return 0;
        ++from;
    }
    const auto found = std::find_if(from, children.end(), [&](WindowHandle child) {
        const WindowIdentity& identity = table.at(child)->Identity();
        return NameMatches(identity.className, className) && NameMatches(identity.title, title);
    });
    return found != children.end() ? *found : 0;
}

WindowHandle Related(const WindowTable& table, WindowHandle window, int32_t relation) {
    if (window == 0 || !InTree(table, window)) return 0;
    if (relation == static_cast<int32_t>(Relation::kFirstChild)) {
        const std::vector<WindowHandle> children = Children(table, window);
        return children.empty() ? 0 : children.front();
    }
    const std::vector<WindowHandle> siblings = Children(table, table.at(window)->Identity().parent);
    const auto at = std::find(siblings.begin(), siblings.end(), window);
    switch (static_cast<Relation>(relation)) {
        case Relation::kFirstSibling:
            return siblings.front();
        case Relation::kLastSibling:
            return siblings.back();
        case Relation::kNextSibling:
            return at + 1 != siblings.end() ? *(at + 1) : 0;
        case Relation::kPreviousSibling:
            return at != siblings.begin() ? *(at - 1) : 0;
        default:
            return 0;
    }
}

bool Descendants(const WindowTable& table, WindowHandle parent, std::vector<WindowHandle>* out) {
    if (!InTree(table, parent)) return false;
    out->clear();
    if (parent == 0) {
        *out = Children(table, 0);
    } else {
        AppendSubtree(table, parent, out);
    }
    return true;
}

}  // namespace tavlin::platform::window_tree
