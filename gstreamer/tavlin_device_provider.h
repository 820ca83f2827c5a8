// tavlindeviceprovider: lists the cameras the SDK can reach as Video/Source devices.
#pragma once

#include <gst/gst.h>

G_BEGIN_DECLS

GST_DEVICE_PROVIDER_REGISTER_DECLARE(tavlindeviceprovider);

G_END_DECLS
