// The window tree as an application walks it with FindWindowEx and GetWindow: the listed windows
// of a WindowTable (parents, previews, dialogs; never message windows) under their parents.
//
// Order follows Windows' z-order as it stands when nothing is raised: children are linked at the
// bottom of their siblings, so they come oldest first; top-level windows are linked at the top,
// so they come newest first. Nothing here raises or lowers a window, so handle order (creation
// order) is the whole story.
//
// Destroying a window leaves its children alive (the SDK closes its own windows), but they leave
// the tree with it: a window counts only while every ancestor is still a listed window, and the
// walks neither return such an orphan nor start from one.
//
// Pure functions over a table the caller holds still (WindowRegistry::Inspect).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "window/host_window.h"

namespace tavlin::platform::window_tree {

// GetWindow's relations, with Windows' command numbers.
enum class Relation : int32_t {
    kFirstSibling = 0,
    kLastSibling = 1,
    kNextSibling = 2,
    kPreviousSibling = 3,
    kFirstChild = 5,
};

// True when the name matches: null matches any name, otherwise equal ignoring ASCII case (bytes
// of multi-byte UTF-8 characters compare exactly).
bool NameMatches(const std::string& name, const char* wanted);

// FindWindowEx: the first child of parent (0: the top-level windows) after childAfter (0: from
// the first) whose class name and title match. 0 when none matches, when parent is neither 0
// nor a window in the tree, or when childAfter is not one of parent's children.
WindowHandle Find(const WindowTable& table, WindowHandle parent, WindowHandle childAfter,
                  const char* className, const char* title);

// GetWindow: the window in that relation to window, or 0 (no such window, a window outside the
// tree, or a relation not listed above).
WindowHandle Related(const WindowTable& table, WindowHandle window, int32_t relation);

// EnumChildWindows: every descendant of parent, each followed by its own children; with parent 0
// the top-level windows only (as EnumWindows). False for a parent outside the tree.
bool Descendants(const WindowTable& table, WindowHandle parent, std::vector<WindowHandle>* out);

}  // namespace tavlin::platform::window_tree
