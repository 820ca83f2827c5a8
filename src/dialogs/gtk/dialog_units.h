// Dialog units to pixels, from the metrics of the template's font as GTK renders it: a horizontal
// unit is a quarter of the average character width, a vertical one an eighth of the font height.
#pragma once

#include <pango/pango.h>

#include <cstdint>
#include <string>

#include "dialogs/dialog_template.h"

namespace tavlin::dialogs::gtk {

// The font a template names, as Pango knows it ("MS Shell Dlg" 8 becomes "Sans" 8).
PangoFontDescription* TemplateFont(const DialogTemplate& source);

struct BaseUnits {
    int32_t x = 6;
    int32_t y = 13;

    int32_t ToPixelsX(int32_t units) const { return Scale(units, x, 4); }
    int32_t ToPixelsY(int32_t units) const { return Scale(units, y, 8); }
    Rect ToPixels(const Rect& r) const {
        return {ToPixelsX(r.x), ToPixelsY(r.y), ToPixelsX(r.width), ToPixelsY(r.height)};
    }

  private:
    // Rounded as MulDiv rounds.
    static int32_t Scale(int32_t value, int32_t by, int32_t over) {
        const int64_t product = static_cast<int64_t>(value) * by;
        return static_cast<int32_t>(product >= 0 ? (product + over / 2) / over
                                                 : (product - over / 2) / over);
    }
};

// GTK thread only.
BaseUnits MeasureBaseUnits(PangoContext* context, const DialogTemplate& source);

}  // namespace tavlin::dialogs::gtk
