// One call of every export, in catalogue order, with plausible arguments and output memory that
// is fenced by canaries. Tests run the table with handles that name no camera and check it
// against the catalogue, so an export missing here fails them.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "integration/guarded_buffer.h"
#include "tavlin/tavlin.h"

namespace tavlin::test {

// Everything an export may be handed to write into.
struct ProbeOutputs {
    GuardedBuffer ints{6 * sizeof(int32_t)};
    GuardedBuffer bytes{4096};
    GuardedBuffer names{10 * TAVLIN_DEVICE_NAME_SLOT};
    GuardedBuffer wideNames{10 * TAVLIN_DEVICE_NAME_SLOT * sizeof(TavlinWChar)};
    GuardedBuffer info{sizeof(TavlinCameraInfo)};
    std::string fileName;  // a path the probe must not create
    std::u16string wideFileName;

    // Set by a randomised run: each replaces an argument the probe would pass as it stands.
    std::function<int32_t(int32_t)> vary;    // an integer argument
    std::function<bool()> dropPointer;       // true: pass null instead of the output memory
    std::function<int32_t(int32_t)> shrink;  // a length no larger than the memory (may be < 0)

    int32_t V(int32_t fixed) const { return vary ? vary(fixed) : fixed; }
    template <typename T>
    T* P(T* pointer) const {
        return dropPointer && dropPointer() ? nullptr : pointer;
    }
    int32_t L(int32_t size) const { return shrink ? shrink(size) : size; }
    int32_t* Int(int i = 0) { return ints.as<int32_t>() + i; }
    bool Untouched() const {
        return ints.Untouched() && bytes.Untouched() && names.Untouched() &&
               wideNames.Untouched() && info.Untouched();
    }
};

struct ExportProbe {
    const char* name;
    int32_t notFound;  // result for a handle that names no camera
    bool takesHandle;  // false for Tavlin_GetDllVersion and Tavlin_Initialize
    std::function<int32_t(int32_t, ProbeOutputs&)> call;
};

// The probes in catalogue order.
const std::vector<ExportProbe>& ExportProbes();

// The export names of cmake/catalogue.txt, in order.
std::vector<std::string> CatalogueNames();

}  // namespace tavlin::test
