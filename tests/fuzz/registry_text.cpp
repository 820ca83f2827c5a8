// The settings store's text parser and file on arbitrary bytes. Whatever parses must be a valid
// tree that formats and parses back to itself and reads the same from the Windows UTF-16 export;
// a store file holding the bytes must load as that tree (or, when it does not parse, be moved
// aside intact) and keep it across a commit of one more value.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "platform/text_convert.h"
#include "settings/registry_file.h"
#include "settings/registry_text.h"

namespace {

using tavlin::settings::RegistryTree;

bool SameTree(const RegistryTree& a, const RegistryTree& b) {
    return FormatRegistryText(a) == FormatRegistryText(b);
}

void CheckTree(const RegistryTree& tree) {
    for (const auto& [path, values] : tree.Keys()) {
        FUZZ_CHECK(tavlin::settings::IsValidKeyPath(path));
        // Every ancestor is a key of its own.
        const size_t cut = path.rfind('\\');
        if (!path.empty())
            FUZZ_CHECK(tree.HasKey(cut == std::string::npos ? "" : path.substr(0, cut)));
        for (const auto& [name, value] : values) {
            FUZZ_CHECK(tavlin::settings::IsValidValueName(name));
            FUZZ_CHECK(tree.Query(path, name) == value);
        }
    }
}

void CheckText(std::string_view text, const std::optional<RegistryTree>& parsed) {
    if (!parsed) return;
    CheckTree(*parsed);
    const std::string formatted = FormatRegistryText(*parsed);
    const auto again = tavlin::settings::ParseRegistryText(formatted);
    FUZZ_CHECK(again.has_value());
    FUZZ_CHECK(FormatRegistryText(*again) == formatted);

    // The same text as the registry editor on Windows writes it.
    if (text.starts_with("\xFF\xFE")) return;
    const auto wide = tavlin::platform::Utf8ToUtf16(text);
    if (!wide) return;
    std::string utf16 = "\xFF\xFE";
    for (const char16_t unit : *wide) {
        utf16 += static_cast<char>(unit & 0xFF);
        utf16 += static_cast<char>(unit >> 8);
    }
    const auto fromWide = tavlin::settings::ParseRegistryText(utf16);
    FUZZ_CHECK(fromWide.has_value());
    FUZZ_CHECK(SameTree(*fromWide, *parsed));
}

std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void CheckStoreFile(std::string_view text, const std::optional<RegistryTree>& parsed) {
    const std::filesystem::path folder = tavlin::fuzz::ScratchFolder() / "store";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    const std::filesystem::path path = folder / "settings.reg";
    std::ofstream(path, std::ios::binary).write(text.data(), std::streamsize(text.size()));

    const tavlin::settings::RegistryFile file(path.string());
    const RegistryTree loaded = file.Load();
    if (parsed) {
        FUZZ_CHECK(SameTree(loaded, *parsed));
    } else {
        FUZZ_CHECK(SameTree(loaded, RegistryTree()));
    }
    // A file that did not parse (empty ones read as empty stores) is kept aside byte for byte.
    size_t asideCount = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().filename().string().starts_with("settings.reg.corrupt-")) {
            ++asideCount;
            FUZZ_CHECK(ReadAll(entry.path()) == text);
        }
    }
    FUZZ_CHECK(asideCount == ((parsed || text.empty()) ? 0u : 1u));

    const tavlin::settings::RegistryChange change{tavlin::settings::RegistryChange::Kind::SetValue,
                                                  "Software\\Fuzz", "Value", 42};
    FUZZ_CHECK(file.Commit({change}) == tavlin::settings::RegResult::Success);
    RegistryTree expected = loaded;
    expected.Apply(change);
    FUZZ_CHECK(SameTree(file.Load(), expected));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto parsed = tavlin::settings::ParseRegistryText(text);
    CheckText(text, parsed);
    // The file round trip costs a hundred times the parse: every store that parses takes it, and
    // a sixteenth of the rest, chosen by content so that a replay repeats the choice.
    if (parsed || std::hash<std::string_view>()(text) % 16 == 0) CheckStoreFile(text, parsed);
    return 0;
}
