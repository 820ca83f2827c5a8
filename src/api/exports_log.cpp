// The extension interface's diagnostic logging (docs/logging.md).
#include "diag/log.h"
#include "tavlin/tavlin_ext.h"

extern "C" {

int32_t TavlinExt_SetLogCallback(TavlinExtLogCallback callback, void* context, int32_t maxLevel) {
    if (callback != nullptr && (maxLevel < TAVLIN_EXT_LOG_OFF || maxLevel > TAVLIN_EXT_LOG_TRACE)) {
        return 0;
    }
    try {
        return tavlin::diag::SetCallback(callback, context,
                                         static_cast<tavlin::diag::Level>(maxLevel))
                   ? 1
                   : 0;
    } catch (...) {
        return 0;
    }
}

int32_t TavlinExt_SetLogLevels(const char* levels) {
    try {
        return tavlin::diag::SetLevels(levels) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

}  // extern "C"
