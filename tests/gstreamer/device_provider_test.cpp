// The device provider lists the cameras the SDK reaches and makes elements that open them.
#include <gtest/gtest.h>

#include <gst/gst.h>

#include <string>
#include <vector>

#include "integration/sdk_fixture.h"

namespace tavlin::test {
namespace {

struct Listed {
    std::string name;
    std::string deviceClass;
    int index = -1;
    std::string reach;
    bool hasBgr = false;
};

std::vector<Listed> Probe() {
    GstDeviceProvider* provider = gst_device_provider_factory_get_by_name("tavlindeviceprovider");
    EXPECT_NE(provider, nullptr);
    if (provider == nullptr) return {};
    std::vector<Listed> listed;
    GList* devices = gst_device_provider_get_devices(provider);
    for (GList* item = devices; item != nullptr; item = item->next) {
        GstDevice* device = GST_DEVICE(item->data);
        Listed entry;
        gchar* name = gst_device_get_display_name(device);
        gchar* deviceClass = gst_device_get_device_class(device);
        entry.name = name;
        entry.deviceClass = deviceClass;
        g_free(name);
        g_free(deviceClass);
        GstStructure* props = gst_device_get_properties(device);
        gst_structure_get_int(props, "device.index", &entry.index);
        if (const gchar* reach = gst_structure_get_string(props, "device.reach"))
            entry.reach = reach;
        gst_structure_free(props);
        GstCaps* caps = gst_device_get_caps(device);
        GstCaps* bgr = gst_caps_from_string("video/x-raw,format=BGR,width=640,height=512");
        entry.hasBgr = gst_caps_can_intersect(caps, bgr);
        gst_caps_unref(bgr);
        gst_caps_unref(caps);
        listed.push_back(entry);
    }
    g_list_free_full(devices, gst_object_unref);
    gst_object_unref(provider);
    return listed;
}

class DeviceProvider : public SdkTest {
  protected:
    DeviceProvider() { openCamera_ = false; }
};

TEST_F(DeviceProvider, ListsEachCameraWithItsIndexAndCaps) {
    PlugCamera(3);
    const std::vector<Listed> listed = Probe();
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed[0].name, "Tavlin410QZ-VKE_01");
    EXPECT_EQ(listed[0].index, 0);
    EXPECT_EQ(listed[1].name, "Tavlin410QZ-VKE_04");
    EXPECT_EQ(listed[1].index, 3);
    for (const Listed& entry : listed) {
        EXPECT_EQ(entry.deviceClass, "Video/Source");
        EXPECT_EQ(entry.reach, "in-process");
        EXPECT_TRUE(entry.hasBgr);
    }
    UnplugAllCameras();
    EXPECT_TRUE(Probe().empty());
}

TEST_F(DeviceProvider, DeviceMakesASourceOpeningItsIndex) {
    PlugCamera(3);
    GstDeviceProvider* provider = gst_device_provider_factory_get_by_name("tavlindeviceprovider");
    ASSERT_NE(provider, nullptr);
    GList* devices = gst_device_provider_get_devices(provider);
    ASSERT_EQ(g_list_length(devices), 2u);
    GstElement* element = gst_device_create_element(GST_DEVICE(g_list_last(devices)->data), "cam");
    ASSERT_NE(element, nullptr);
    gint index = -1;
    g_object_get(element, "device", &index, nullptr);
    EXPECT_EQ(index, 3);
    // Pointed at the first camera, the same element follows.
    EXPECT_TRUE(gst_device_reconfigure_element(GST_DEVICE(devices->data), element));
    g_object_get(element, "device", &index, nullptr);
    EXPECT_EQ(index, 0);
    gst_object_unref(element);
    g_list_free_full(devices, gst_object_unref);
    gst_object_unref(provider);
}

}  // namespace
}  // namespace tavlin::test
