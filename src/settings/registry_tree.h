// The HKEY_CURRENT_USER tree held in memory: keys by path, each with its DWORD values. Key and
// value names compare without regard to ASCII case, as the registry's do; the spelling first
// used is kept.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace tavlin::settings {

// Case-blind ordering for value names.
struct NoCaseLess {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const;
};

// Case-blind ordering for key paths in which the separator sorts first, so every key is followed
// directly by its subkeys.
struct KeyPathLess {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const;
};

using RegistryValues = std::map<std::string, uint32_t, NoCaseLess>;

// One change a writer made, replayed onto the newest stored tree when the writer commits.
struct RegistryChange {
    enum class Kind { CreateKey, SetValue };
    Kind kind = Kind::CreateKey;
    std::string keyPath;
    std::string valueName;
    uint32_t value = 0;
};

class RegistryTree {
  public:
    using KeyMap = std::map<std::string, RegistryValues, KeyPathLess>;

    // The empty path is HKEY_CURRENT_USER itself, which always exists.
    RegistryTree();

    bool HasKey(std::string_view path) const;
    std::optional<uint32_t> Query(std::string_view path, std::string_view name) const;

    // Each returns true when the tree changed. Missing ancestors are created along.
    bool CreateKey(std::string_view path);
    bool SetValue(std::string_view path, std::string_view name, uint32_t value);
    bool Apply(const RegistryChange& change);

    // The values of a key, created (with its ancestors) when missing. For bulk loading.
    RegistryValues& ValuesOf(std::string_view path);

    const KeyMap& Keys() const { return keys_; }

  private:
    KeyMap keys_;
};

// A relative key path: components separated by '\', none empty, none longer than 255 bytes, no
// control characters. The empty path names the key itself.
bool IsValidKeyPath(std::string_view path);

// Value names may hold anything printable; control characters would break the store's lines.
bool IsValidValueName(std::string_view name);

std::string JoinKeyPath(std::string_view parent, std::string_view child);

}  // namespace tavlin::settings
