// The filter value family: the two generic exports and the 27 named forms with a fixed id.
#include "api/export_frame.h"

using tavlin::api::WithCamera;
using tavlin::camera::CTavlin;

extern "C" {

int32_t Tavlin_SetFilterValue(int32_t h, int32_t id, int32_t value) {
    return WithCamera(h, 0, [&](CTavlin& c) { return c.SetFilterValue(id, value); });
}

int32_t Tavlin_GetFilterValue(int32_t h, int32_t id, int32_t* ok) {
    return WithCamera(h, 0, [&](CTavlin& c) { return c.GetFilterValue(id, ok); });
}

#define TAVLIN_FILTER_PAIR(Name, id)                     \
    int32_t Tavlin_Set##Name(int32_t h, int32_t value) { \
        return Tavlin_SetFilterValue(h, id, value);      \
    }                                                    \
    int32_t Tavlin_Get##Name(int32_t h, int32_t* ok) {   \
        return Tavlin_GetFilterValue(h, id, ok);         \
    }

TAVLIN_FILTER_PAIR(Brightness, 1)
TAVLIN_FILTER_PAIR(Contrast, 2)
TAVLIN_FILTER_PAIR(Hue, 3)
TAVLIN_FILTER_PAIR(Saturation, 4)
TAVLIN_FILTER_PAIR(Sharpness, 5)
TAVLIN_FILTER_PAIR(BayerGainRed, 7)
TAVLIN_FILTER_PAIR(BayerGainGreen, 8)
TAVLIN_FILTER_PAIR(BayerGainBlue, 9)
TAVLIN_FILTER_PAIR(BayerGainAuto, 10)
TAVLIN_FILTER_PAIR(Gamma, 11)
TAVLIN_FILTER_PAIR(BayerMode, 12)
TAVLIN_FILTER_PAIR(GlobalGain, 13)
TAVLIN_FILTER_PAIR(ColorGainRed, 14)
TAVLIN_FILTER_PAIR(ColorGainGreen1, 15)
TAVLIN_FILTER_PAIR(ColorGainGreen2, 16)
TAVLIN_FILTER_PAIR(ColorGainBlue, 17)
TAVLIN_FILTER_PAIR(ExposureTime, 18)
TAVLIN_FILTER_PAIR(GrayMode, 19)
TAVLIN_FILTER_PAIR(GrayGainR, 20)
TAVLIN_FILTER_PAIR(GrayGainG1, 21)
TAVLIN_FILTER_PAIR(GrayGainG2, 22)
TAVLIN_FILTER_PAIR(GrayGainB, 23)
TAVLIN_FILTER_PAIR(GrayOffsetR, 24)
TAVLIN_FILTER_PAIR(GrayOffsetG1, 25)
TAVLIN_FILTER_PAIR(GrayOffsetG2, 26)
TAVLIN_FILTER_PAIR(GrayOffsetB, 27)

#undef TAVLIN_FILTER_PAIR

int32_t Tavlin_SetBayerGainRGB(int32_t h, int32_t packed) {
    return Tavlin_SetFilterValue(h, 6, packed);
}
int32_t Tavlin_GetBayerGainRGB(int32_t h, int32_t* ok) {
    return Tavlin_GetFilterValue(h, 6, ok);
}

}  // extern "C"
