// The list entries and labels of the stream format dialog in the system's language.
#pragma once

#include <array>
#include <string>

namespace tavlin::dialogs {

struct StreamFormatTexts {
    std::array<std::string, 6> colorModes;  // by colour mode index
    std::array<std::string, 4> subSamples;  // by sub-sample code
    std::array<std::string, 3> clocks;      // by clock setting
    std::string custom;                     // the size list's last entry
    std::string tabLabel;
};

StreamFormatTexts StreamFormatTextsFor(bool japanese);

// A size list entry: "<EH> x <EV>".
std::string SizeEntry(int32_t width, int32_t height);

}  // namespace tavlin::dialogs
