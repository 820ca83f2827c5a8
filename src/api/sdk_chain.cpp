#include "api/sdk_chain.h"

#include <cstdlib>
#include <new>

#include "diag/log.h"
#include "platform/clock.h"

namespace tavlin::api {

namespace {

int32_t HandleOf(const CSDKDATA& data) {
    return data.handle;
}

}  // namespace

CSdkChain& CSdkChain::Instance() {
    static CSdkChain chain;
    return chain;
}

int CSdkChain::FindHandle(int32_t handle) {
    return Find(handle, HandleOf);
}

bool CSdkChain::HandleInUse(int32_t handle) {
    // A search moves the cursor; put it back where it was so the scan has no visible effect.
    if (Empty()) return false;
    const int32_t cursor = Current().handle;
    const bool found = FindHandle(handle) != 0;
    FindHandle(cursor);
    return found;
}

int32_t CSdkChain::CreateCamera() {
    std::shared_ptr<camera::CTavlin> created;
    try {
        created = std::make_shared<camera::CTavlin>();
    } catch (const std::bad_alloc&) {
        return 0;
    }
    std::lock_guard<std::mutex> guard(lock_);
    int32_t handle = 0;
    // A handle of 0 reads as failure and a duplicate would hide a live camera: draw again.
    do {
        const uint32_t sum = platform::TickCount() + static_cast<uint32_t>(std::rand()) +
                             static_cast<uint32_t>(Count());
        handle = static_cast<int32_t>(sum);
    } while (handle == 0 || HandleInUse(handle));
    Insert(CSDKDATA{handle, std::move(created)});
    return handle;
}

std::shared_ptr<camera::CTavlin> CSdkChain::LookUp(int32_t handle) {
    std::lock_guard<std::mutex> guard(lock_);
    if (FindHandle(handle) == 0) return nullptr;
    return Current().camera;
}

int CSdkChain::Release(int32_t handle) {
    std::shared_ptr<camera::CTavlin> released;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (FindHandle(handle) == 0) return 0;
        // Emptying the entry first makes every other call on the handle, a second release
        // included, see an unknown handle from here on.
        released = std::move(Current().camera);
        if (!released) return 0;
    }
    // The destroy sequence stops threads and saves settings: never under the registry lock.
    const diag::CameraScope scope(handle);
    released->Destroy();
    std::lock_guard<std::mutex> guard(lock_);
    if (FindHandle(handle) != 0) RemoveCurrent();
    return 1;
}

int32_t CSdkChain::Size() {
    std::lock_guard<std::mutex> guard(lock_);
    return Count();
}

}  // namespace tavlin::api
