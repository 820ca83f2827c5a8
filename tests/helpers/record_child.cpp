// Test helper: records the virtual camera into an AVI file until it is killed.
//   record_child <file>
// Prints "recording <frames>" once the file's header states at least two frames (the header is
// brought up to date while recording), then waits; prints "fail <step>" and exits 1 on failure.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <fstream>

#include "tavlin/tavlin.h"
#include "tavlin/tavlin_host.h"
#include "tavlin/tavlin_vcam.h"

namespace {

// Total frames as the file's main header states them.
uint32_t StatedFrames(const char* file) {
    std::ifstream in(file, std::ios::binary);
    uint8_t b[4] = {};
    if (!in.seekg(48) || !in.read(reinterpret_cast<char*>(b), 4)) return 0;
    return uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 | uint32_t{b[3]} << 24;
}

int Fail(const char* step) {
    std::printf("fail %s\n", step);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return Fail("usage");
    if (TavlinVcam_Attach(0) != 1) return Fail("attach");
    TavlinVcam_SetPacing(0, TAVLIN_VCAM_PACING_REAL_TIME);
    const int32_t camera = Tavlin_Initialize(TavlinHost_CreateMessageWindow());
    if (camera == 0) return Fail("initialize");
    if (Tavlin_SetColorMode(camera, 24) != 1 || Tavlin_SetSubSample(camera, 3) != 1 ||
        Tavlin_SetWaitTime(camera, 5) != 1) {
        return Fail("settings");
    }
    if (Tavlin_Record(camera, argv[1], 600000, 0) != 1) return Fail("record");
    for (int i = 0; i < 1000; ++i) {
        const uint32_t frames = StatedFrames(argv[1]);
        if (frames >= 2) {
            std::printf("recording %u\n", frames);
            std::fflush(stdout);
            for (;;) pause();
        }
        usleep(10000);
    }
    return Fail("no checkpoint");
}
