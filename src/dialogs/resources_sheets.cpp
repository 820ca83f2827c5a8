// The property sheets (analog 104/111, image 102/108) and the stream format dialog (101/106).
#include "dialogs/resource_builders.h"

namespace tavlin::dialogs::resources {

namespace {

constexpr const char* kTitleJa = "プロパティ";
constexpr const char* kTitleEn = "Property";

// A sheet: the owner-drawn tab control and the OK, Cancel and Default buttons below it.
DialogTemplate PropertySheet(int32_t id, bool japanese, int32_t height, int32_t tabHeight,
                             int32_t buttonY) {
    DialogTemplate t;
    t.resourceId = id;
    t.title = japanese ? kTitleJa : kTitleEn;
    t.language = japanese ? "ja" : "en";
    t.width = 294;
    t.height = height;
    t.controls = {
        Control(1001, ControlKind::Tab, "", {4, 4, 286, tabHeight},
                kStyleOwnerDrawTabs | kStyleFixedTabs),
        Control(1, ControlKind::PushButton, "OK", {165, buttonY, 60, 13}, kStyleDefaultButton),
        Control(2, ControlKind::PushButton, japanese ? "キャンセル" : "Cancel",
                {230, buttonY, 60, 13}),
        Control(3, ControlKind::PushButton, japanese ? "規定値(&D)" : "Default(&D)",
                {100, buttonY, 60, 13}),
    };
    return t;
}

DialogTemplate StreamFormat(int32_t id, bool japanese) {
    auto text = [japanese](const char* ja, const char* en) { return japanese ? ja : en; };
    DialogTemplate t;
    t.resourceId = id;
    t.title = japanese ? kTitleJa : kTitleEn;
    t.language = japanese ? "ja" : "en";
    t.width = 313;
    t.height = 229;
    const auto list = ControlKind::DropDownList;
    const auto edit = ControlKind::Edit;
    t.controls = {
        Control(1001, ControlKind::Tab, "", {7, 7, 299, 194},
                kStyleOwnerDrawTabs | kStyleFixedTabs),
        Group(text("ビデオ形式", "Video Format"), {17, 24, 123, 104}),
        Label(text("色空間 / 圧縮(&C):", "Color / Compression(&C):"), {25, 37, 60, 8}),
        Control(1009, list, "", {49, 46, 83, 100}),
        Label(text("出力サイズ(&S):", "Size(&S):"), {25, 67, 48, 8}),
        Control(1010, list, "", {49, 77, 83, 100}),
        Label(text("間引き転送モード(&B):", "Sub Sample(&B):"), {25, 96, 70, 8}),
        Control(1012, list, "", {49, 107, 83, 100}),
        Group(text("カスタムサイズ", "Camera Size"), {145, 24, 149, 104}),
        Label(text("総水平画素", "H Total"), {151, 37, 41, 8}),
        Control(1039, edit, "", {159, 46, 50, 12}, kStyleReadOnly),
        Label(text("総垂直画素", "V Total"), {225, 37, 41, 8}),
        Control(1040, edit, "", {235, 46, 50, 12}, kStyleReadOnly),
        Label(text("有効水平画素", "H Effective"), {151, 67, 49, 8}),
        Control(1041, edit, "", {159, 77, 50, 12}),
        Label(text("有効垂直画素", "V Effective"), {225, 67, 49, 8}),
        Control(1042, edit, "", {235, 77, 50, 12}),
        Label(text("有効水平起点", "H Start"), {151, 96, 49, 8}),
        Control(1043, edit, "", {159, 107, 50, 12}),
        Label(text("有効垂直起点", "V Start"), {225, 96, 49, 8}),
        Control(1044, edit, "", {233, 107, 50, 12}),
        Group(text("フレームレート", "Frame Rate"), {17, 131, 277, 48}),
        Label(text("フレーム間待ち時間(&T):", "Wait Time(&T):"), {25, 143, 76, 8}),
        Control(1045, edit, "", {49, 154, 83, 12}),
        Label(text("動作クロック(&C):", "Clock(&C):"), {151, 143, 51, 8}),
        Control(1014, list, "", {175, 154, 83, 100}),
        Control(1, ControlKind::PushButton, "OK", {116, 209, 60, 13}, kStyleDefaultButton),
        Control(2, ControlKind::PushButton, text("キャンセル", "Cancel"), {181, 209, 60, 13}),
        Control(1002, ControlKind::PushButton, text("適用(&A)", "Apply(&A)"), {246, 209, 60, 13}),
        Label(text("※WORD転送モードの際は動作クロックをハーフに設定してください",
                   "* In the WORD forwarding mode, please set the clock to the half."),
              {90, 185, 204, 8}),
    };
    return t;
}

}  // namespace

std::vector<DialogTemplate> SheetTemplates() {
    return {
        StreamFormat(101, true),
        PropertySheet(102, true, 194, 168, 177),
        PropertySheet(104, true, 199, 174, 182),
        StreamFormat(106, false),
        PropertySheet(108, false, 194, 168, 177),
        PropertySheet(111, false, 178, 149, 161),
    };
}

}  // namespace tavlin::dialogs::resources
