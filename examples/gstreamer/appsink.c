/* Takes camera frames into the application through tavlinsrc and appsink, and shows what each
 * buffer carries: the presentation time (running time of the capture), the offset (the camera's
 * frame sequence number) and the capture time itself (a GstReferenceTimestampMeta on
 * CLOCK_MONOTONIC).
 *
 *   appsink [DEVICE [COUNT [CAPS]]]      e.g.  appsink 0 10 video/x-raw,format=GRAY8
 *
 * Exit status: 0 all frames checked, 1 a frame did not match its caps or lacked its capture
 * time, 2 the pipeline failed (no camera at DEVICE, refused settings, caps the camera cannot
 * give), 64 a bad command line. Needs only GStreamer; the SDK is the plugin's business. */
#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gst/video/video.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

enum { kExitOk = 0, kExitBadFrame = 1, kExitPipeline = 2, kExitUsage = 64 };

/* How long one frame may take before the pipeline is asked what went wrong. */
static const GstClockTime kFrameWait = 5 * GST_SECOND;

static gint64 monotonic_now_ns(void) {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (gint64)now.tv_sec * 1000000000 + now.tv_nsec;
}

static int parse_int(const char* text, int minimum, int maximum, int* value) {
    char* end = NULL;
    const long parsed = strtol(text, &end, 10);
    if (end == text || *end != '\0' || parsed < minimum || parsed > maximum) return 0;
    *value = (int)parsed;
    return 1;
}

/* Prints the error and warning messages waiting on the bus; returns 1 when there was an error.
 * Only the first error is shown: the ones after it (a base class's "failed to start", say) are
 * its consequences. */
static int report_bus(GstElement* pipeline) {
    GstBus* bus = gst_element_get_bus(pipeline);
    int failed = 0;
    GstMessage* message;
    while ((message = gst_bus_pop_filtered(bus, GST_MESSAGE_ERROR | GST_MESSAGE_WARNING)) != NULL) {
        GError* error = NULL;
        gchar* details = NULL;
        const int is_error = GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR;
        if (is_error) {
            gst_message_parse_error(message, &error, &details);
        } else {
            gst_message_parse_warning(message, &error, &details);
        }
        if (!failed) {
            fprintf(stderr, "%s from %s: %s\n", is_error ? "error" : "warning",
                    GST_OBJECT_NAME(GST_MESSAGE_SRC(message)), error->message);
            if (details != NULL) fprintf(stderr, "  (%s)\n", details);
        }
        failed = failed || is_error;
        g_clear_error(&error);
        g_free(details);
        gst_message_unref(message);
    }
    gst_object_unref(bus);
    return failed;
}

/* Checks one sample against its caps and prints its times; returns an exit status. */
static int show_sample(GstSample* sample, GstCaps* capture_time_caps, int number) {
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    GstVideoInfo info;
    if (buffer == NULL || !gst_video_info_from_caps(&info, gst_sample_get_caps(sample))) {
        fprintf(stderr, "frame %d: no buffer or no video caps\n", number);
        return kExitBadFrame;
    }
    if (number == 0) {
        printf("caps: %s %dx%d, %d/%d fps, %" G_GSIZE_FORMAT " bytes a frame\n",
               GST_VIDEO_INFO_NAME(&info), GST_VIDEO_INFO_WIDTH(&info),
               GST_VIDEO_INFO_HEIGHT(&info), GST_VIDEO_INFO_FPS_N(&info),
               GST_VIDEO_INFO_FPS_D(&info), GST_VIDEO_INFO_SIZE(&info));
    }
    const gsize size = gst_buffer_get_size(buffer);
    if (size != GST_VIDEO_INFO_SIZE(&info)) {
        fprintf(stderr, "frame %d: %" G_GSIZE_FORMAT " bytes, the caps say %" G_GSIZE_FORMAT "\n",
                number, size, GST_VIDEO_INFO_SIZE(&info));
        return kExitBadFrame;
    }
    GstReferenceTimestampMeta* meta =
        gst_buffer_get_reference_timestamp_meta(buffer, capture_time_caps);
    if (meta == NULL) {
        fprintf(stderr, "frame %d: no capture time\n", number);
        return kExitBadFrame;
    }
    /* The capture time is on CLOCK_MONOTONIC, so its age is plain arithmetic here. */
    const gint64 age_ns = monotonic_now_ns() - (gint64)meta->timestamp;
    printf("frame %d: pts %" GST_TIME_FORMAT " offset %" G_GUINT64_FORMAT
           " captured %" GST_TIME_FORMAT " (%.1f ms ago)\n",
           number, GST_TIME_ARGS(GST_BUFFER_PTS(buffer)), GST_BUFFER_OFFSET(buffer),
           GST_TIME_ARGS(meta->timestamp), (double)age_ns / 1e6);
    return kExitOk;
}

int main(int argc, char** argv) {
    gst_init(&argc, &argv);
    /* One line per frame as it comes, also into a pipe or a file. */
    setvbuf(stdout, NULL, _IOLBF, 0);
    int device = 0;
    int count = 10;
    const char* caps_text = "video/x-raw";
    if (argc > 4 || (argc > 1 && !parse_int(argv[1], 0, 31, &device)) ||
        (argc > 2 && !parse_int(argv[2], 1, 1000000, &count))) {
        fprintf(stderr, "usage: %s [DEVICE (0..31) [COUNT [CAPS]]]\n", argv[0]);
        return kExitUsage;
    }
    if (argc > 3) caps_text = argv[3];

    gchar* description = g_strdup_printf(
        "tavlinsrc name=camera device=%d ! %s ! appsink name=sink max-buffers=4 sync=false", device,
        caps_text);
    GError* error = NULL;
    GstElement* pipeline = gst_parse_launch(description, &error);
    g_free(description);
    if (pipeline == NULL || error != NULL) {
        /* gst_parse_launch may give a pipeline and an error (an unknown property, say). */
        fprintf(stderr, "cannot make the pipeline: %s\n",
                error != NULL ? error->message : "unknown error");
        if (g_error_matches(error, GST_PARSE_ERROR, GST_PARSE_ERROR_NO_SUCH_ELEMENT))
            fprintf(stderr,
                    "(for a plugin in a build tree set GST_PLUGIN_PATH=<build>/gstreamer)\n");
        g_clear_error(&error);
        if (pipeline != NULL) gst_object_unref(pipeline);
        return kExitPipeline;
    }
    GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "sink");
    GstCaps* capture_time_caps = gst_caps_new_empty_simple("timestamp/x-clock-monotonic");

    int status = kExitOk;
    /* A camera that cannot be opened fails the state change; the reason is on the bus. */
    if (gst_element_set_state(pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        if (!report_bus(pipeline)) fprintf(stderr, "the pipeline did not start\n");
        status = kExitPipeline;
    }
    guint64 last_offset = GST_BUFFER_OFFSET_NONE;
    for (int number = 0; status == kExitOk && number < count; ++number) {
        GstSample* sample = gst_app_sink_try_pull_sample(GST_APP_SINK(sink), kFrameWait);
        if (sample == NULL) {
            if (report_bus(pipeline)) {
                status = kExitPipeline;
            } else if (gst_app_sink_is_eos(GST_APP_SINK(sink))) {
                fprintf(stderr, "the stream ended after %d frame(s)\n", number);
                status = kExitPipeline;
            } else {
                fprintf(stderr, "no frame within %" GST_TIME_FORMAT "\n",
                        GST_TIME_ARGS(kFrameWait));
                status = kExitPipeline;
            }
            break;
        }
        status = show_sample(sample, capture_time_caps, number);
        const guint64 offset = GST_BUFFER_OFFSET(gst_sample_get_buffer(sample));
        if (status == kExitOk && last_offset != GST_BUFFER_OFFSET_NONE && offset <= last_offset) {
            fprintf(stderr,
                    "frame %d: sequence %" G_GUINT64_FORMAT " after %" G_GUINT64_FORMAT "\n",
                    number, offset, last_offset);
            status = kExitBadFrame;
        }
        last_offset = offset;
        gst_sample_unref(sample);
        /* Warnings (a refused live setting, say) are shown as they come. */
        if (status == kExitOk && report_bus(pipeline)) status = kExitPipeline;
    }

    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_caps_unref(capture_time_caps);
    gst_object_unref(sink);
    gst_object_unref(pipeline);
    return status;
}
