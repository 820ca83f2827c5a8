#include "tavlin_device_provider.h"

#include <cstdio>
#include <string>

#include "src_format.h"
#include "tavlin/tavlin_ext.h"

namespace {

constexpr int32_t kDeviceIndices = 32;

const char* ReachName(int32_t reach) {
    switch (reach) {
        case TAVLIN_EXT_REACH_IN_PROCESS:
            return "in-process";
        case TAVLIN_EXT_REACH_DAEMON:
            return "daemon";
        case TAVLIN_EXT_REACH_USB:
            return "usb";
        default:
            return "none";
    }
}

}  // namespace

// One camera at a device index; its element is a tavlinsrc opening that index.
#define GST_TYPE_TAVLIN_DEVICE (gst_tavlin_device_get_type())
G_DECLARE_FINAL_TYPE(GstTavlinDevice, gst_tavlin_device, GST, TAVLIN_DEVICE, GstDevice)

struct _GstTavlinDevice {
    GstDevice parent;
    gint index;
};

G_DEFINE_TYPE(GstTavlinDevice, gst_tavlin_device, GST_TYPE_DEVICE)

static GstElement* gst_tavlin_device_create_element(GstDevice* device, const gchar* name) {
    GstElement* element = gst_element_factory_make("tavlinsrc", name);
    if (element != nullptr)
        g_object_set(element, "device", GST_TAVLIN_DEVICE(device)->index, nullptr);
    return element;
}

static gboolean gst_tavlin_device_reconfigure_element(GstDevice* device, GstElement* element) {
    if (g_strcmp0(GST_OBJECT_NAME(gst_element_get_factory(element)), "tavlinsrc") != 0)
        return FALSE;
    g_object_set(element, "device", GST_TAVLIN_DEVICE(device)->index, nullptr);
    return TRUE;
}

static void gst_tavlin_device_class_init(GstTavlinDeviceClass* klass) {
    GstDeviceClass* device_class = GST_DEVICE_CLASS(klass);
    device_class->create_element = gst_tavlin_device_create_element;
    device_class->reconfigure_element = gst_tavlin_device_reconfigure_element;
}

static void gst_tavlin_device_init(GstTavlinDevice* self) {}

namespace {

GstDevice* MakeDevice(int32_t index, const TavlinExtDeviceInfo& info) {
    char name[32];
    std::snprintf(name, sizeof(name), "Tavlin410QZ-VKE_%02d", index + 1);
    GstStructure* props = gst_structure_new(
        "tavlin-device-properties", "device.api", G_TYPE_STRING, "tavlin", "device.index",
        G_TYPE_INT, index, "device.reach", G_TYPE_STRING, ReachName(info.reach), nullptr);
    if (info.reach == TAVLIN_EXT_REACH_USB) {
        char ids[16];
        std::snprintf(ids, sizeof(ids), "%04x:%04x", info.usbVendor, info.usbProduct);
        gst_structure_set(props, "device.bus", G_TYPE_STRING, "usb", "device.path", G_TYPE_STRING,
                          info.usbNode, "device.bus_path", G_TYPE_STRING, info.usbPortPath,
                          "device.serial", G_TYPE_STRING, info.usbSerial, "device.usb-id",
                          G_TYPE_STRING, ids, "device.access", G_TYPE_INT, info.access, nullptr);
        if (info.access != TAVLIN_EXT_ACCESS_OK && info.advice[0] != '\0')
            gst_structure_set(props, "device.advice", G_TYPE_STRING, info.advice, nullptr);
    }
    GstCaps* caps = tavlin::gst::TemplateCaps();
    GstTavlinDevice* device =
        GST_TAVLIN_DEVICE(g_object_new(GST_TYPE_TAVLIN_DEVICE, "display-name", name, "device-class",
                                       "Video/Source", "caps", caps, "properties", props, nullptr));
    device->index = index;
    gst_caps_unref(caps);
    gst_structure_free(props);
    return GST_DEVICE(device);
}

}  // namespace

#define GST_TYPE_TAVLIN_DEVICE_PROVIDER (gst_tavlin_device_provider_get_type())
G_DECLARE_FINAL_TYPE(GstTavlinDeviceProvider, gst_tavlin_device_provider, GST,
                     TAVLIN_DEVICE_PROVIDER, GstDeviceProvider)

struct _GstTavlinDeviceProvider {
    GstDeviceProvider parent;
};

G_DEFINE_TYPE(GstTavlinDeviceProvider, gst_tavlin_device_provider, GST_TYPE_DEVICE_PROVIDER)
GST_DEVICE_PROVIDER_REGISTER_DEFINE(tavlindeviceprovider, "tavlindeviceprovider", GST_RANK_PRIMARY,
                                    GST_TYPE_TAVLIN_DEVICE_PROVIDER)

// Every device index the SDK answers now: virtual cameras of this process or of the daemon, and
// USB cameras (listed also when this user may not open them, with advice in their properties).
static GList* gst_tavlin_device_provider_probe(GstDeviceProvider* provider) {
    GList* devices = nullptr;
    for (int32_t index = 0; index < kDeviceIndices; ++index) {
        TavlinExtDeviceInfo info{};
        info.size = sizeof(info);
        if (TavlinExt_GetDeviceInfo(index, &info) != 1 || info.reach == TAVLIN_EXT_REACH_NONE)
            continue;
        devices = g_list_append(devices, gst_object_ref_sink(MakeDevice(index, info)));
    }
    return devices;
}

static void gst_tavlin_device_provider_class_init(GstTavlinDeviceProviderClass* klass) {
    GstDeviceProviderClass* provider_class = GST_DEVICE_PROVIDER_CLASS(klass);
    provider_class->probe = gst_tavlin_device_provider_probe;
    gst_device_provider_class_set_static_metadata(
        provider_class, "Tavlin 410QZ-VKE camera provider", "Source/Video",
        "Lists the Tavlin 410QZ-VKE cameras: USB cameras and virtual cameras", "Tavlin SDK team");
}

static void gst_tavlin_device_provider_init(GstTavlinDeviceProvider* self) {}
