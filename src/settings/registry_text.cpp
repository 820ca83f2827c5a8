#include "settings/registry_text.h"

#include <cstdio>

#include "platform/ascii_hex.h"
#include "platform/text_convert.h"

namespace tavlin::settings {

namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
constexpr std::string_view kOldHeader = "REGEDIT4";
constexpr std::string_view kHiveName = "HKEY_CURRENT_USER";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";

// The registry editor on Windows exports UTF-16LE with a byte order mark.
std::optional<std::string> DecodeUtf16Le(std::string_view bytes) {
    if (bytes.size() % 2 != 0) return std::nullopt;
    std::u16string units(bytes.size() / 2, u'\0');
    for (size_t i = 0; i < units.size(); ++i) {
        units[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                         static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
    }
    return platform::Utf16ToUtf8(units);
}

void AppendQuotedName(std::string& out, std::string_view name) {
    if (name.empty()) {
        out += '@';
        return;
    }
    out += '"';
    for (char c : name) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    out += '"';
}

std::string_view TrimTrailing(std::string_view line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) {
        line.remove_suffix(1);
    }
    return line;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && !NoCaseLess()(a, b) && !NoCaseLess()(b, a);
}

// "[HKEY_CURRENT_USER\path]" or "[HKEY_CURRENT_USER]" -> path.
std::optional<std::string> ParseKeyLine(std::string_view line) {
    if (line.size() < 2 || line.front() != '[' || line.back() != ']') return std::nullopt;
    const std::string_view inside = line.substr(1, line.size() - 2);
    if (inside.size() < kHiveName.size() ||
        !EqualsNoCase(inside.substr(0, kHiveName.size()), kHiveName)) {
        return std::nullopt;
    }
    std::string_view path = inside.substr(kHiveName.size());
    if (!path.empty()) {
        if (path.front() != '\\') return std::nullopt;
        path.remove_prefix(1);
        if (path.empty()) return std::nullopt;
    }
    if (!IsValidKeyPath(path)) return std::nullopt;
    return std::string(path);
}

// Reads the quoted (or '@') name at the start of rest and removes it from rest.
std::optional<std::string> ParseValueName(std::string_view& rest) {
    if (!rest.empty() && rest.front() == '@') {
        rest.remove_prefix(1);
        return std::string();
    }
    if (rest.empty() || rest.front() != '"') return std::nullopt;
    std::string name;
    for (size_t i = 1; i < rest.size(); ++i) {
        const char c = rest[i];
        if (c == '"') {
            rest.remove_prefix(i + 1);
            if (name.empty() || !IsValidValueName(name)) return std::nullopt;
            return name;
        }
        if (c == '\\') {
            if (++i == rest.size() || (rest[i] != '\\' && rest[i] != '"')) return std::nullopt;
        }
        name += rest[i];
    }
    return std::nullopt;
}

std::optional<uint32_t> ParseDword(std::string_view text) {
    constexpr std::string_view kPrefix = "=dword:";
    if (text.size() <= kPrefix.size() || !EqualsNoCase(text.substr(0, kPrefix.size()), kPrefix)) {
        return std::nullopt;
    }
    return platform::ParseHexDigits(text.substr(kPrefix.size()), 8);
}

}  // namespace

std::string FormatRegistryText(const RegistryTree& tree) {
    std::string out;
    out.append(kHeader).append("\n");
    for (const auto& [path, values] : tree.Keys()) {
        // The hive itself is implied; list it only when something is stored directly in it.
        if (path.empty() && values.empty()) continue;
        out.append("\n[").append(kHiveName);
        if (!path.empty()) out.append("\\").append(path);
        out.append("]\n");
        for (const auto& [name, value] : values) {
            AppendQuotedName(out, name);
            char digits[16];
            std::snprintf(digits, sizeof digits, "%08x", value);
            out.append("=dword:").append(digits).append("\n");
        }
    }
    return out;
}

std::optional<RegistryTree> ParseRegistryText(std::string_view text) {
    if (text.substr(0, kUtf16LeBom.size()) == kUtf16LeBom) {
        const std::optional<std::string> decoded = DecodeUtf16Le(text.substr(kUtf16LeBom.size()));
        return decoded ? ParseRegistryText(*decoded) : std::nullopt;
    }
    if (text.substr(0, kUtf8Bom.size()) == kUtf8Bom) text.remove_prefix(kUtf8Bom.size());
    RegistryTree tree;
    RegistryValues* currentKey = nullptr;
    bool sawHeader = false;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        const std::string_view line =
            TrimTrailing(text.substr(0, end == std::string_view::npos ? text.size() : end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!sawHeader) {
            if (line != kHeader && line != kOldHeader) return std::nullopt;
            sawHeader = true;
            continue;
        }
        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[') {
            const std::optional<std::string> path = ParseKeyLine(line);
            if (!path) return std::nullopt;
            currentKey = &tree.ValuesOf(*path);
            continue;
        }
        if (!currentKey) return std::nullopt;
        std::string_view rest = line;
        const std::optional<std::string> name = ParseValueName(rest);
        if (!name) return std::nullopt;
        const std::optional<uint32_t> value = ParseDword(rest);
        if (!value) return std::nullopt;
        (*currentKey)[*name] = *value;  // a repeated name: the last line wins
    }
    return sawHeader ? std::optional<RegistryTree>(std::move(tree)) : std::nullopt;
}

}  // namespace tavlin::settings
