// The property dialogs: analog settings, image and gray filter, stream format.
#include "api/export_frame.h"
#include "dialogs/property_dialogs.h"
#if TAVLIN_HAVE_GTK
#include "dialogs/gtk/gtk_presenter.h"
#endif

using tavlin::api::ToHandle;
using tavlin::api::WithCamera;
using tavlin::camera::CTavlin;
namespace dialogs = tavlin::dialogs;

namespace {

dialogs::ModalOptions Options(int32_t h, TAVLIN_HWND parent) {
#if TAVLIN_HAVE_GTK
    // Before the first dialog takes its presenter: on screen when there is a display.
    dialogs::gtk::InstallPresenter();
#endif
    dialogs::ModalOptions options;
    options.ownerKey = h;
    options.ownerWindow = ToHandle(parent);
    return options;
}

}  // namespace

extern "C" {

int32_t Tavlin_SetAnalogDlg(int32_t h, TAVLIN_HWND parent) {
    return WithCamera(h, 0,
                      [&](CTavlin& c) { return dialogs::RunAnalogDialog(c, Options(h, parent)); });
}

int32_t Tavlin_SetImageDlg(int32_t h, TAVLIN_HWND parent) {
    return WithCamera(h, 0,
                      [&](CTavlin& c) { return dialogs::RunImageDialog(c, Options(h, parent)); });
}

int32_t Tavlin_SetCameraDlg(int32_t h, TAVLIN_HWND parent) {
    return WithCamera(
        h, 0, [&](CTavlin& c) { return dialogs::RunStreamFormatDialog(c, Options(h, parent)); });
}

}  // extern "C"
