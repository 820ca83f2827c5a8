// GStreamer started once per test program, with the plugin's element and device provider
// registered from the code linked into the program.
#include <gtest/gtest.h>

#include <gst/gst.h>

#include "tavlin_device_provider.h"
#include "tavlin_src.h"

namespace {

class GstEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        gst_init(nullptr, nullptr);
        ASSERT_TRUE(GST_ELEMENT_REGISTER(tavlinsrc, nullptr));
        ASSERT_TRUE(GST_DEVICE_PROVIDER_REGISTER(tavlindeviceprovider, nullptr));
    }
    // Frees GStreamer's registry and caches, so a leak check sees only what tests left behind.
    void TearDown() override { gst_deinit(); }
};

const ::testing::Environment* const gEnvironment =
    ::testing::AddGlobalTestEnvironment(new GstEnvironment);

}  // namespace
