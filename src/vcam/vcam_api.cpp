// The TavlinVcam_ C interface over the in-process camera registry.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "tavlin/tavlin_vcam.h"
#include "vcam/camera_registry.h"
#include "vcam/raw_file.h"

namespace {

using tavlin::vcam::CameraRegistry;
using tavlin::vcam::FaultKind;
using tavlin::vcam::RawFrames;
using tavlin::vcam::SceneKind;
using tavlin::vcam::SensorNoise;
using tavlin::vcam::VirtualCamera;

constexpr size_t kFrameSamples = size_t(RawFrames::kWidth) * RawFrames::kHeight;

std::shared_ptr<VirtualCamera> CameraAt(int32_t index) {
    return CameraRegistry::Instance().At(index);
}

std::shared_ptr<RawFrames> ConvertRaw(const void* data, int32_t bits, size_t frames) {
    auto raw = std::make_shared<RawFrames>();
    raw->frameCount = static_cast<int>(frames);
    raw->samples.resize(frames * kFrameSamples);
    const auto* bytes = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < raw->samples.size(); ++i) {
        if (bits == 8) {
            raw->samples[i] = static_cast<uint16_t>(bytes[i] << 2);
        } else {
            const int word = bytes[2 * i] | (bytes[2 * i + 1] << 8);
            raw->samples[i] = static_cast<uint16_t>(std::min(word, 1023));
        }
    }
    return raw;
}

bool ValidRawBits(int32_t bits) {
    return bits == 8 || bits == 10;
}

}  // namespace

extern "C" {

int32_t TavlinVcam_Attach(int32_t index) {
    return CameraRegistry::Instance().Attach(index);
}

int32_t TavlinVcam_Detach(int32_t index) {
    return CameraRegistry::Instance().Detach(index);
}

int32_t TavlinVcam_IsAttached(int32_t index) {
    return CameraAt(index) != nullptr;
}

int32_t TavlinVcam_DetachAll(void) {
    return CameraRegistry::Instance().DetachAll();
}

int32_t TavlinVcam_Trigger(int32_t index, int32_t pulses) {
    auto camera = CameraAt(index);
    return camera ? camera->Trigger(pulses) : 0;
}

int32_t TavlinVcam_SetScene(int32_t index, int32_t scene) {
    auto camera = CameraAt(index);
    if (!camera) return 0;
    switch (scene) {
        case TAVLIN_VCAM_SCENE_RAMP:
            camera->SetScene(SceneKind::Ramp);
            return 1;
        case TAVLIN_VCAM_SCENE_FLAT:
            camera->SetScene(SceneKind::Flat);
            return 1;
        case TAVLIN_VCAM_SCENE_RAW:
            if (!camera->HasRawFrames()) return 0;
            camera->SetScene(SceneKind::Raw);
            return 1;
        case TAVLIN_VCAM_SCENE_CHART:
            camera->SetScene(SceneKind::Chart);
            return 1;
        default:
            return 0;
    }
}

int32_t TavlinVcam_SetNoise(int32_t index, int32_t amplitude, uint32_t seed) {
    auto camera = CameraAt(index);
    if (!camera || amplitude < 0 || amplitude > SensorNoise::kMaxAmplitude) return 0;
    camera->SetNoise(SensorNoise{amplitude, seed});
    return 1;
}

int32_t TavlinVcam_SetRawFrames(int32_t index, const void* samples, int32_t bitsPerSample,
                                int32_t frameCount) {
    auto camera = CameraAt(index);
    if (!camera || samples == nullptr || !ValidRawBits(bitsPerSample) || frameCount <= 0) return 0;
    camera->SetRawFrames(ConvertRaw(samples, bitsPerSample, size_t(frameCount)));
    return 1;
}

int32_t TavlinVcam_LoadRawFile(int32_t index, const char* path, int32_t bitsPerSample) {
    auto camera = CameraAt(index);
    if (!camera || path == nullptr || !ValidRawBits(bitsPerSample)) return 0;
    const std::optional<std::vector<uint8_t>> contents = tavlin::vcam::ReadRegularFile(path);
    if (!contents) return 0;
    const std::vector<uint8_t>& data = *contents;
    const size_t frameBytes = kFrameSamples * (bitsPerSample == 8 ? 1 : 2);
    if (data.empty() || data.size() % frameBytes != 0) return 0;
    const size_t frames = data.size() / frameBytes;
    if (frames > 0x7FFFFFFF) return 0;
    camera->SetRawFrames(ConvertRaw(data.data(), bitsPerSample, frames));
    return static_cast<int32_t>(frames);
}

int32_t TavlinVcam_SetPacing(int32_t index, int32_t pacing) {
    auto camera = CameraAt(index);
    if (!camera || (pacing != TAVLIN_VCAM_PACING_REAL_TIME && pacing != TAVLIN_VCAM_PACING_FAST &&
                    pacing != TAVLIN_VCAM_PACING_AS_TAKEN)) {
        return 0;
    }
    camera->SetRealTime(pacing == TAVLIN_VCAM_PACING_REAL_TIME);
    camera->SetFrameClock(pacing != TAVLIN_VCAM_PACING_AS_TAKEN);
    return 1;
}

int32_t TavlinVcam_FailNext(int32_t index, int32_t kind, int32_t count) {
    return TavlinVcam_FailNth(index, kind, 1, count);
}

int32_t TavlinVcam_FailNth(int32_t index, int32_t kind, int32_t nth, int32_t count) {
    auto camera = CameraAt(index);
    // The public kind numbers are the model's fault kinds in the same order.
    if (!camera || count < 0 || nth < 1 || kind < 0 || kind >= tavlin::vcam::kFaultKinds) {
        return 0;
    }
    camera->FailNth(static_cast<FaultKind>(kind), nth, count);
    return 1;
}

int32_t TavlinVcam_SetStall(int32_t index, int32_t stalled) {
    auto camera = CameraAt(index);
    if (!camera) return 0;
    camera->SetStall(stalled != 0);
    return 1;
}

int32_t TavlinVcam_GetWaitingRequests(int32_t index, uint32_t* count) {
    auto camera = CameraAt(index);
    if (!camera || count == nullptr) return 0;
    *count = camera->WaitingRequests();
    return 1;
}

int32_t TavlinVcam_UnplugAfterFrames(int32_t index, int32_t frames) {
    auto camera = CameraAt(index);
    if (!camera || frames < 0) return 0;
    camera->UnplugAfterFrames(frames);
    return 1;
}

int32_t TavlinVcam_ReadSensorRegister(int32_t index, int32_t reg, uint16_t* value) {
    auto camera = CameraAt(index);
    if (!camera || value == nullptr || reg < 0 || reg > 0xFF) return 0;
    *value = camera->SensorRegister(static_cast<uint8_t>(reg));
    return 1;
}

int32_t TavlinVcam_ReadControllerRegister(int32_t index, int32_t reg, uint8_t* value) {
    auto camera = CameraAt(index);
    if (!camera || value == nullptr || reg < 0 || reg > 0xFF) return 0;
    *value = camera->ControllerRegister(static_cast<uint8_t>(reg));
    return 1;
}

int32_t TavlinVcam_ReadSrom(int32_t index, int32_t address, uint8_t* value) {
    auto camera = CameraAt(index);
    if (!camera || value == nullptr || address < 0 || address > 0xFFFF) return 0;
    *value = camera->SromByte(static_cast<uint16_t>(address));
    return 1;
}

int32_t TavlinVcam_WriteSrom(int32_t index, int32_t address, uint8_t value) {
    auto camera = CameraAt(index);
    if (!camera || address < 0 || address > 0xFFFF) return 0;
    camera->WriteSromByte(static_cast<uint16_t>(address), value);
    return 1;
}

int32_t TavlinVcam_GetTransferSize(int32_t index, uint32_t* bytes) {
    auto camera = CameraAt(index);
    if (!camera || bytes == nullptr) return 0;
    *bytes = camera->TransferSize();
    return 1;
}

int32_t TavlinVcam_GetDriverSetting(int32_t index, uint32_t* value) {
    auto camera = CameraAt(index);
    if (!camera || value == nullptr) return 0;
    *value = camera->DriverSetting();
    return 1;
}

int32_t TavlinVcam_GetCounters(int32_t index, TavlinVcamCounters* counters) {
    auto camera = CameraAt(index);
    if (!camera || counters == nullptr) return 0;
    *counters = camera->Counters();
    return 1;
}

int32_t TavlinVcam_GetTraceCount(int32_t index, uint32_t* count) {
    auto camera = CameraAt(index);
    if (!camera || count == nullptr) return 0;
    *count = static_cast<uint32_t>(camera->TraceCount());
    return 1;
}

int32_t TavlinVcam_GetTrace(int32_t index, uint32_t first, TavlinVcamTraceEntry* entries,
                            uint32_t maxEntries) {
    auto camera = CameraAt(index);
    if (!camera || entries == nullptr) return 0;
    const auto trace = camera->Trace(first, maxEntries);
    std::copy(trace.begin(), trace.end(), entries);
    return static_cast<int32_t>(trace.size());
}

int32_t TavlinVcam_ClearTrace(int32_t index) {
    auto camera = CameraAt(index);
    if (!camera) return 0;
    camera->ClearTrace();
    return 1;
}

}  // extern "C"
