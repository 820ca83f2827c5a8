#include "dialogs/gtk/dialog_units.h"

#include <array>

namespace tavlin::dialogs::gtk {

namespace {

// Windows' dialog fonts and the family that stands in for them.
constexpr std::array<const char*, 5> kWindowsDialogFonts = {"MS Shell Dlg", "MS Shell Dlg 2",
                                                            "MS Sans Serif", "Tahoma", "Segoe UI"};

}  // namespace

PangoFontDescription* TemplateFont(const DialogTemplate& source) {
    std::string family = source.fontName;
    for (const char* windows : kWindowsDialogFonts) {
        if (family == windows) family = "Sans";
    }
    PangoFontDescription* font = pango_font_description_new();
    pango_font_description_set_family(font, family.c_str());
    pango_font_description_set_size(font, source.fontPoints * PANGO_SCALE);
    return font;
}

BaseUnits MeasureBaseUnits(PangoContext* context, const DialogTemplate& source) {
    PangoFontDescription* font = TemplateFont(source);
    PangoLayout* layout = pango_layout_new(context);
    pango_layout_set_font_description(layout, font);
    pango_layout_set_text(layout, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", -1);
    int width = 0;
    int height = 0;
    pango_layout_get_pixel_size(layout, &width, &height);
    PangoFontMetrics* metrics = pango_context_get_metrics(context, font, nullptr);
    const int fontHeight = PANGO_PIXELS(pango_font_metrics_get_ascent(metrics) +
                                        pango_font_metrics_get_descent(metrics));
    pango_font_metrics_unref(metrics);
    g_object_unref(layout);
    pango_font_description_free(font);
    BaseUnits units;
    // The average of the 52 letters, rounded as GDI does.
    if (width > 0) units.x = (width / 26 + 1) / 2;
    if (fontHeight > 0) units.y = fontHeight;
    return units;
}

}  // namespace tavlin::dialogs::gtk
