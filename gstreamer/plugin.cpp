// The gsttavlin plugin: the tavlinsrc element and the camera device provider.
#include <gst/gst.h>

#include "tavlin_device_provider.h"
#include "tavlin_src.h"

namespace {

gboolean plugin_init(GstPlugin* plugin) {
    gboolean ok = GST_ELEMENT_REGISTER(tavlinsrc, plugin);
    ok = GST_DEVICE_PROVIDER_REGISTER(tavlindeviceprovider, plugin) && ok;
    return ok;
}

}  // namespace

#ifndef PACKAGE
#define PACKAGE "tavlin-sdk"
#endif

GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, tavlin,
                  "Tavlin 410QZ-VKE USB camera: source element and device provider", plugin_init,
                  TAVLIN_PLUGIN_VERSION, "Proprietary", "Tavlin SDK", "https://www.tavlin.example")
