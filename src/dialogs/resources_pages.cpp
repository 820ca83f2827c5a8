// The pages shown inside the property sheets' tab controls: analog (105/110), image filter
// (103/107) and gray filter (112/113).
#include "dialogs/resource_builders.h"

namespace tavlin::dialogs::resources {

namespace {

DialogTemplate Page(int32_t id, int32_t width, int32_t height) {
    DialogTemplate t;
    t.resourceId = id;
    t.width = width;
    t.height = height;
    t.childPage = true;
    return t;
}

DialogTemplate AnalogPage(int32_t id, int32_t width, int32_t height) {
    DialogTemplate t = Page(id, width, height);
    RowLayout layout;
    layout.trackbarWidth = width - 4 - layout.labelWidth - 2 - 2 - layout.editWidth - 10 - 4;
    const int32_t pitch = height >= 140 ? 16 : 14;
    struct Row {
        const char* label;
        int32_t trackbar, edit, upDown;
    };
    const Row rows[] = {
        {"&Global Gain", 1013, 1015, 1038},   {"&Color Gain G1", 1018, 1019, 1039},
        {"&Color Gain R", 1020, 1021, 1040},  {"&Color Gain B", 1022, 1023, 1041},
        {"&Color Gain G2", 1024, 1025, 1042}, {"&Exposure", 1026, 1027, 1043},
    };
    int32_t y = 4;
    for (const Row& row : rows) {
        AddRow(t.controls, layout, y, row.label, row.trackbar, row.edit, row.upDown);
        y += pitch;
    }
    y += 4;
    const auto box = ControlKind::CheckBox;
    t.controls.push_back(Label("Auto Iris", {4, y + 2, 40, 8}));
    t.controls.push_back(Control(1036, box, "Gain", {46, y, 40, 10}));
    t.controls.push_back(Control(1037, box, "Exposure", {88, y, 48, 10}));
    t.controls.push_back(Control(1049, ControlKind::Static, "= msec", {width - 70, y + 2, 60, 8}));
    y += 14;
    t.controls.push_back(Control(1028, box, "Mirror V", {46, y, 40, 10}));
    t.controls.push_back(Control(1029, box, "Mirror H", {88, y, 48, 10}));
    return t;
}

DialogTemplate ImagePage(int32_t id) {
    DialogTemplate t = Page(id, 251, 142);
    RowLayout layout;
    layout.trackbarWidth = 140;
    struct Row {
        const char* label;
        int32_t trackbar, edit, upDown;
    };
    const Row rows[] = {
        {"&Brightness", 2001, 2002, 2004}, {"&Contrast", 2011, 2012, 2014},
        {"&Hue", 2021, 2022, 2024},        {"&Saturation", 2031, 2032, 2034},
        {"Shar&pness", 2041, 2042, 2044},  {"&R Gain", 2051, 2052, 2054},
        {"&G Gain", 2061, 2062, 2063},     {"&B Gain", 2071, 2072, 2073},
        {"&Gamma", 2081, 2082, 2084},
    };
    int32_t y = 2;
    for (const Row& row : rows) {
        AddRow(t.controls, layout, y, row.label, row.trackbar, row.edit, row.upDown);
        y += 12;
    }
    y += 4;
    t.controls.push_back(Label("Auto white balance", {4, y + 2, 66, 8}));
    t.controls.push_back(Control(2074, ControlKind::PushButton, "", {72, y, 12, 12}));
    t.controls.push_back(Label("Once", {86, y + 2, 20, 8}));
    t.controls.push_back(Control(1035, ControlKind::CheckBox, "", {110, y + 1, 10, 10}));
    t.controls.push_back(Label("All frames", {122, y + 2, 40, 8}));
    y += 14;
    t.controls.push_back(Label("Bayer Mode", {4, y + 2, 40, 8}));
    for (int32_t i = 0; i < 4; ++i) {
        t.controls.push_back(
            Control(1030 + i, ControlKind::RadioButton, "", {72 + i * 16, y + 1, 10, 10}, 0, 1));
    }
    return t;
}

DialogTemplate GrayPage(int32_t id) {
    DialogTemplate t = Page(id, 251, 142);
    RowLayout layout;
    layout.x = 8;
    layout.labelWidth = 26;
    layout.trackbarWidth = 36;
    layout.editWidth = 30;
    const char* names[] = {"Red", "Green1", "Green2", "Blue"};
    t.controls.push_back(Group("Gain", {2, 2, 120, 66}));
    t.controls.push_back(Group("Offset", {126, 2, 122, 66}));
    for (int32_t i = 0; i < 4; ++i) {
        const int32_t y = 12 + i * 13;
        const int32_t gain = 2100 + i * 3;
        const int32_t offset = 2112 + i * 3;
        layout.x = 6;
        AddRow(t.controls, layout, y, names[i], gain, gain + 1, gain + 2);
        layout.x = 130;
        AddRow(t.controls, layout, y, names[i], offset, offset + 1, offset + 2);
    }
    int32_t y = 74;
    t.controls.push_back(Label("Filter mode", {4, y + 2, 40, 8}));
    t.controls.push_back(Control(1046, ControlKind::RadioButton, "Bayer", {48, y, 40, 10}, 0, 2));
    t.controls.push_back(
        Control(1047, ControlKind::RadioButton, "Bayer convert", {90, y, 60, 10}, 0, 2));
    t.controls.push_back(
        Control(1048, ControlKind::RadioButton, "Grayscale", {152, y, 50, 10}, 0, 2));
    y += 16;
    t.controls.push_back(Label("Auto Gain", {4, y + 2, 40, 8}));
    t.controls.push_back(Control(2074, ControlKind::PushButton, "Once", {48, y, 40, 12}));
    t.controls.push_back(Control(1035, ControlKind::CheckBox, "All frames", {92, y + 1, 50, 10}));
    y += 16;
    t.controls.push_back(Label("Bayer Mode", {4, y + 2, 40, 8}));
    for (int32_t i = 0; i < 4; ++i) {
        t.controls.push_back(
            Control(1030 + i, ControlKind::RadioButton, "", {48 + i * 16, y + 1, 10, 10}, 0, 1));
    }
    return t;
}

}  // namespace

std::vector<DialogTemplate> PageTemplates() {
    std::vector<DialogTemplate> pages = {ImagePage(103), AnalogPage(105, 251, 146),
                                         ImagePage(107), AnalogPage(110, 238, 126),
                                         GrayPage(112),  GrayPage(113)};
    // The pages' texts are the same in both sets; the Japanese sheets' pages are theirs.
    for (DialogTemplate& page : pages) {
        if (page.resourceId == 103 || page.resourceId == 105 || page.resourceId == 113) {
            page.language = "ja";
        }
    }
    return pages;
}

}  // namespace tavlin::dialogs::resources
