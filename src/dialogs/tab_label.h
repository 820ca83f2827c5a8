// The owner-drawn tab labels the three property sheets share.
#pragma once

#include "dialogs/dialog.h"

namespace tavlin::dialogs {

// Paints the label of request.itemIndex of the sheet's tab control: the item rectangle filled with
// the face colour, the text centred on it.
void DrawTabLabel(Dialog& sheet, int32_t tabControlId, const DrawItemRequest& request,
                  uint32_t faceColor);

}  // namespace tavlin::dialogs
