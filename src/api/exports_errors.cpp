// Error codes in words, from the one table in error_texts.h.
#include "camera/error_texts.h"
#include "tavlin/tavlin_ext.h"

extern "C" {

const char* TavlinExt_GetErrorText(int32_t code) {
    return tavlin::camera::FindErrorText(code).text;
}

const char* TavlinExt_GetErrorName(int32_t code) {
    return tavlin::camera::FindErrorText(code).name;
}

}  // extern "C"
