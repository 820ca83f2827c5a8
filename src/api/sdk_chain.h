// The process-wide registry of open cameras, keyed by camera handle.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>

#include "api/ct_ring.h"
#include "camera/ctavlin.h"

namespace tavlin::api {

struct CSDKDATA {
    int32_t handle = 0;
    // Shared so that a call still running on a camera keeps the object alive if the application
    // releases the handle meanwhile; the destroy sequence itself runs in Release.
    std::shared_ptr<camera::CTavlin> camera;
};

class CSdkChain : public CTRing<CSDKDATA> {
  public:
    static CSdkChain& Instance();

    // Makes a handle and a camera object and files them; 0 when the object cannot be made.
    int32_t CreateCamera();
    // The camera filed under the handle, or null. Holds the lock only for the search.
    std::shared_ptr<camera::CTavlin> LookUp(int32_t handle);
    // Destroys the camera and removes its entry: 1, or 0 for an unknown handle.
    int Release(int32_t handle);

    int32_t Size();

  private:
    int FindHandle(int32_t handle);
    bool HandleInUse(int32_t handle);

    std::mutex lock_;
};

}  // namespace tavlin::api
