#include "file_formats.h"

#include <algorithm>
#include <cctype>

#include "tavlin/tavlin.h"

namespace ctl {

namespace {

struct FormatName {
    const char* name;
    int32_t code;
};

constexpr FormatName kNames[] = {
    {"bmp", TAVLIN_FILE_BMP},         {"raw", TAVLIN_FILE_RAW},
    {"jpg100", TAVLIN_FILE_JPEG_100}, {"jpg70", TAVLIN_FILE_JPEG_70},
    {"jpg20", TAVLIN_FILE_JPEG_20},   {"png", TAVLIN_FILE_PNG},
    {"tiff", TAVLIN_FILE_TIFF},       {"jpg", TAVLIN_FILE_JPEG_100},
    {"jpeg", TAVLIN_FILE_JPEG_100},   {"tif", TAVLIN_FILE_TIFF},
};

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

}  // namespace

std::optional<int32_t> ParseFileFormat(const std::string& name) {
    const std::string lower = Lower(name);
    for (const FormatName& entry : kNames) {
        if (lower == entry.name) return entry.code;
    }
    if (lower.size() == 1 && lower[0] >= '0' && lower[0] <= '6') return lower[0] - '0';
    return std::nullopt;
}

std::optional<int32_t> FormatFromFileName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return std::nullopt;
    }
    const std::string extension = Lower(path.substr(dot + 1));
    // Only real extensions, not quality names: "x.jpg70" says nothing about the format.
    if (extension == "bmp" || extension == "raw" || extension == "jpg" || extension == "jpeg" ||
        extension == "png" || extension == "tif" || extension == "tiff") {
        return ParseFileFormat(extension);
    }
    return std::nullopt;
}

const char* FileFormatName(int32_t code) {
    for (const FormatName& entry : kNames) {
        if (entry.code == code) return entry.name;
    }
    return "?";
}

std::vector<std::string> FileFormatNames() {
    std::vector<std::string> names;
    for (const FormatName& entry : kNames) names.emplace_back(entry.name);
    return names;
}

}  // namespace ctl
