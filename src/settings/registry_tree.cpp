#include "settings/registry_tree.h"

#include <algorithm>

#include "platform/ascii_case.h"

namespace tavlin::settings {

namespace {

constexpr size_t kMaxKeyNameLength = 255;
constexpr size_t kMaxValueNameLength = 16383;

bool HasControlCharacter(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u < 0x20 || u == 0x7F;
    });
}

}  // namespace

bool NoCaseLess::operator()(std::string_view a, std::string_view b) const {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return platform::FoldAsciiCase(x) < platform::FoldAsciiCase(y);
    });
}

bool KeyPathLess::operator()(std::string_view a, std::string_view b) const {
    auto rank = [](char c) -> int { return c == '\\' ? -1 : platform::FoldAsciiCase(c); };
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [&](char x, char y) { return rank(x) < rank(y); });
}

RegistryTree::RegistryTree() {
    keys_.emplace(std::string(), RegistryValues());
}

bool RegistryTree::HasKey(std::string_view path) const {
    return keys_.find(path) != keys_.end();
}

std::optional<uint32_t> RegistryTree::Query(std::string_view path, std::string_view name) const {
    const auto key = keys_.find(path);
    if (key == keys_.end()) return std::nullopt;
    const auto value = key->second.find(name);
    if (value == key->second.end()) return std::nullopt;
    return value->second;
}

bool RegistryTree::CreateKey(std::string_view path) {
    if (HasKey(path)) return false;  // then so do its ancestors
    bool changed = false;
    // Every prefix ending before a separator is an ancestor; the path itself comes last.
    for (size_t end = 0; end <= path.size(); ++end) {
        if (end != path.size() && path[end] != '\\') continue;
        const std::string_view prefix = path.substr(0, end);
        if (keys_.find(prefix) == keys_.end()) {
            keys_.emplace(std::string(prefix), RegistryValues());
            changed = true;
        }
    }
    return changed;
}

bool RegistryTree::SetValue(std::string_view path, std::string_view name, uint32_t value) {
    auto key = keys_.find(path);
    bool changed = false;
    if (key == keys_.end()) {
        changed = CreateKey(path);
        key = keys_.find(path);
    }
    RegistryValues& values = key->second;
    const auto existing = values.find(name);
    if (existing == values.end()) {
        values.emplace(std::string(name), value);
        return true;
    }
    if (existing->second != value) {
        existing->second = value;
        changed = true;
    }
    return changed;
}

RegistryValues& RegistryTree::ValuesOf(std::string_view path) {
    CreateKey(path);
    return keys_.find(path)->second;
}

bool RegistryTree::Apply(const RegistryChange& change) {
    if (change.kind == RegistryChange::Kind::CreateKey) return CreateKey(change.keyPath);
    return SetValue(change.keyPath, change.valueName, change.value);
}

bool IsValidKeyPath(std::string_view path) {
    if (path.empty()) return true;
    size_t start = 0;
    while (true) {
        const size_t end = std::min(path.find('\\', start), path.size());
        const std::string_view component = path.substr(start, end - start);
        if (component.empty() || component.size() > kMaxKeyNameLength ||
            HasControlCharacter(component)) {
            return false;
        }
        if (end == path.size()) return true;
        start = end + 1;
    }
}

bool IsValidValueName(std::string_view name) {
    return name.size() <= kMaxValueNameLength && !HasControlCharacter(name);
}

std::string JoinKeyPath(std::string_view parent, std::string_view child) {
    if (parent.empty()) return std::string(child);
    if (child.empty()) return std::string(parent);
    std::string joined;
    joined.reserve(parent.size() + 1 + child.size());
    joined.append(parent).append(1, '\\').append(child);
    return joined;
}

}  // namespace tavlin::settings
