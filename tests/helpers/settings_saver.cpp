// Test helper: saves one camera's analog, filter and gray settings repeatedly from a separate
// process, each value derived from the camera number and the round.
//   settings_saver <store file> <camera number> <rounds>
// Prints "ok" when every save succeeded, else "failed <round>".
#include <cstdio>
#include <cstdlib>

#include "settings/registry_settings.h"
#include "settings/registry_store.h"

using namespace tavlin;

int main(int argc, char** argv) {
    if (argc != 4) return 2;
    const settings::RegistryStore store(argv[1]);
    const int camera = std::atoi(argv[2]);
    const int rounds = std::atoi(argv[3]);
    for (int round = 0; round < rounds; ++round) {
        settings::AnalogSettings analog;
        analog.globalGain = camera;
        analog.exposure = 1000 * camera + round;
        settings::FilterSettings filter;
        filter.gamma = 100 + camera;
        filter.hue = round;
        settings::GraySettings gray;
        gray.grayGainB = 200 + camera;
        if (!settings::SaveAnalog(camera, analog, store) ||
            !settings::SaveFilter(camera, filter, store) ||
            !settings::SaveGray(camera, gray, store)) {
            std::printf("failed %d\n", round);
            return 1;
        }
    }
    std::printf("ok\n");
    return 0;
}
