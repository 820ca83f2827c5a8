// tavlinsrc: a live source of the camera's processed frames, driving the SDK only through its
// public C interface.
#pragma once

#include <gst/base/gstpushsrc.h>
#include <gst/gst.h>

G_BEGIN_DECLS

#define GST_TYPE_TAVLIN_SRC (gst_tavlin_src_get_type())
G_DECLARE_FINAL_TYPE(GstTavlinSrc, gst_tavlin_src, GST, TAVLIN_SRC, GstPushSrc)

#define GST_TYPE_TAVLIN_COLOR_MODE (gst_tavlin_color_mode_get_type())
GType gst_tavlin_color_mode_get_type(void);

GST_ELEMENT_REGISTER_DECLARE(tavlinsrc);

G_END_DECLS
