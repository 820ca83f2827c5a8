/*
 * Virtual camera control interface.
 *
 * A virtual camera stands where the camera and its kernel driver would stand: the SDK opens
 * "\\.\TvlnQZ410VKE-<c>" and talks to it with the driver's control codes, pipes and 64-byte
 * packets. This interface attaches and detaches cameras at device indices 0..31, drives their
 * trigger input, chooses what they see, paces them, injects faults and reads their state back.
 *
 * Every function may be called from any thread at any time, also while the SDK streams. Unless
 * said otherwise a function returns 1 on success and 0 when the index is outside 0..31, no camera
 * is attached there, or an argument is invalid (nothing is changed then).
 */
#ifndef TAVLIN_TAVLIN_VCAM_H
#define TAVLIN_TAVLIN_VCAM_H

#include "tavlin/tavlin.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Full sensor frame of raw data supplied by the application. */
#define TAVLIN_VCAM_SENSOR_WIDTH 1280
#define TAVLIN_VCAM_SENSOR_HEIGHT 1024

/* Scenes. */
enum {
    TAVLIN_VCAM_SCENE_RAMP = 0, /* diagonal ramp moving by 2 levels per frame (power-on scene) */
    TAVLIN_VCAM_SCENE_FLAT = 1, /* uniform mid-level scene (scene level 128) */
    TAVLIN_VCAM_SCENE_RAW = 2,  /* frames supplied with TavlinVcam_SetRawFrames / _LoadRawFile */
    /* Colour chart on a neutral board (level 120): red, green, blue, cyan, magenta and yellow
     * patches, a gray ladder, a hue gradient and a marker moving 16 pixels per frame. Unclipped
     * at the SDK's default exposure and gains. */
    TAVLIN_VCAM_SCENE_CHART = 3
};

/* Pacing of frame delivery. */
enum {
    TAVLIN_VCAM_PACING_REAL_TIME = 0, /* frame period from clock, line length, window, exposure */
    TAVLIN_VCAM_PACING_FAST = 1,      /* every frame read is served at once */
    /* Served at once, and the camera tells the SDK it has no frame clock of its own, so the SDK
     * asks for the next frame only once the application has taken the last: no frame is made
     * for nothing. A camera the daemon serves gets fast pacing instead (its clients cannot tell
     * the difference from a camera with a clock). */
    TAVLIN_VCAM_PACING_AS_TAKEN = 2
};

/* Fault kinds of TavlinVcam_FailNext and TavlinVcam_FailNth. Each kind counts the requests it
 * can hit (command sends, reply reads or frame reads) on its own. */
enum {
    TAVLIN_VCAM_FAULT_COMMAND_SEND = 0, /* packets on pipe 0: the request fails, nothing done */
    TAVLIN_VCAM_FAULT_REPLY_READ = 1,   /* reads on pipe 1 */
    TAVLIN_VCAM_FAULT_FRAME_READ = 2,   /* reads on pipe 2 */
    TAVLIN_VCAM_FAULT_SHORT_FRAME = 3,  /* reads on pipe 2 succeed but deliver half the bytes */
    TAVLIN_VCAM_FAULT_LONG_FRAME = 4,   /* reads on pipe 2 fill the buffer and report 1.5 times
                                           the requested bytes */
    TAVLIN_VCAM_FAULT_EMPTY_FRAME = 5,  /* reads on pipe 2 succeed with no bytes */
    /* The request never returns: it waits until the stall is ended (TavlinVcam_SetStall 0), its
     * handle is cancelled or closed, or the camera is unplugged, and then fails. */
    TAVLIN_VCAM_FAULT_HANG_COMMAND = 6,
    TAVLIN_VCAM_FAULT_HANG_REPLY = 7,
    TAVLIN_VCAM_FAULT_HANG_FRAME = 8
};

/* One request the camera received, oldest first. */
typedef struct TavlinVcamTraceEntry {
    uint32_t sequence;    /* running number of the request on this camera, from 0 */
    uint32_t handle;      /* which open handle issued it: 1 for the first open, 2 ... */
    uint32_t controlCode; /* 0x222051, 0x22204E or 0x2220A0 (or whatever was sent) */
    uint32_t pipe;        /* pipe number of a pipe request; 0xFFFFFFFF for other codes */
    uint32_t length;      /* buffer length: output for pipe requests, input for the others */
    uint32_t returned;    /* byte count the request reported */
    int32_t succeeded;    /* 1 when the request returned success */
    uint8_t data[64];     /* pipe 0: the packet; pipe 1: the block handed out; setting: block */
} TavlinVcamTraceEntry;

/* Counters since attach: produced = delivered + short + failed for frame reads. */
typedef struct TavlinVcamCounters {
    uint64_t framesDelivered; /* frame reads that returned the full requested length */
    uint64_t framesShort;     /* frame reads with a wrong byte count (short, long, empty) */
    uint64_t framesFailed;    /* frame reads that failed (fault, time-out, no request, unplug) */
    uint64_t commands;        /* command packets accepted on pipe 0 */
    uint64_t triggersPending; /* trigger pulses not yet turned into frames */
    uint64_t handlesOpen;     /* device handles currently open on the camera */
} TavlinVcamCounters;

/* Attaches a powered-on camera at the index (real-time pacing, ramp scene, no noise). Returns
 * 0 when one is already attached there. */
TAVLIN_API int32_t TavlinVcam_Attach(int32_t index);

/* Unplugs the camera: pending and later requests on its open handles fail, new opens fail. */
TAVLIN_API int32_t TavlinVcam_Detach(int32_t index);

/* 1 when a camera is attached at the index. */
TAVLIN_API int32_t TavlinVcam_IsAttached(int32_t index);

/* Detaches every camera (test and tool teardown). Returns the number detached. */
TAVLIN_API int32_t TavlinVcam_DetachAll(void);

/* Gives trigger pulses. Each pulse accepted in trigger mode makes one frame, delivered by the
 * pending or the next frame read. Returns the pulses accepted: 0 when the camera is not in
 * trigger mode (sensor read mode A bit 8 and controller register 11 bit 0 both set). */
TAVLIN_API int32_t TavlinVcam_Trigger(int32_t index, int32_t pulses);

/* Chooses the scene (TAVLIN_VCAM_SCENE_*); RAW needs raw frames loaded first. */
TAVLIN_API int32_t TavlinVcam_SetScene(int32_t index, int32_t scene);

/* Sensor noise added to every sample of every scene: an offset spread evenly over
 * -amplitude..amplitude 10-bit steps (0..255; 0, the power-on value, turns it off), then clamped
 * to 0..1023. The offset depends only on the seed, the frame number and the sensor position, so
 * frames stay reproducible. An amplitude outside 0..255 is refused. */
TAVLIN_API int32_t TavlinVcam_SetNoise(int32_t index, int32_t amplitude, uint32_t seed);

/* Supplies frameCount full-sensor raw frames (1280 x 1024 samples each, rows top first) and
 * selects the raw scene. bitsPerSample 8: one byte per sample; 10: little-endian 16-bit words,
 * values above 1023 clamped. The data is copied; frames replay in a loop. */
TAVLIN_API int32_t TavlinVcam_SetRawFrames(int32_t index, const void* samples,
                                           int32_t bitsPerSample, int32_t frameCount);

/* As TavlinVcam_SetRawFrames from a file of whole frames. Returns the number of frames loaded,
 * 0 when the file cannot be read or its size is not a multiple of one frame. */
TAVLIN_API int32_t TavlinVcam_LoadRawFile(int32_t index, const char* path, int32_t bitsPerSample);

/* TAVLIN_VCAM_PACING_REAL_TIME, _FAST or _AS_TAKEN. */
TAVLIN_API int32_t TavlinVcam_SetPacing(int32_t index, int32_t pacing);

/* Makes the next count requests of the kind fail (TAVLIN_VCAM_FAULT_*); count 0 cancels. */
TAVLIN_API int32_t TavlinVcam_FailNext(int32_t index, int32_t kind, int32_t count);

/* Lets nth - 1 further requests of the kind pass, then makes count of them fail (nth >= 1;
 * FailNext is nth 1). Replaces what was set for the kind; count 0 cancels. */
TAVLIN_API int32_t TavlinVcam_FailNth(int32_t index, int32_t kind, int32_t nth, int32_t count);

/* While stalled, frame reads wait (until the stall ends or the camera is detached). Ending a
 * stall also lets requests held by hang faults go (they fail). */
TAVLIN_API int32_t TavlinVcam_SetStall(int32_t index, int32_t stalled);

/* Requests blocked inside the camera right now: stalled, hung, waiting for a trigger pulse or
 * for the frame time. */
TAVLIN_API int32_t TavlinVcam_GetWaitingRequests(int32_t index, uint32_t* count);

/* Unplugs the camera right after it has delivered the given number of further frames. */
TAVLIN_API int32_t TavlinVcam_UnplugAfterFrames(int32_t index, int32_t frames);

/* Register and SROM read-back. */
TAVLIN_API int32_t TavlinVcam_ReadSensorRegister(int32_t index, int32_t reg, uint16_t* value);
TAVLIN_API int32_t TavlinVcam_ReadControllerRegister(int32_t index, int32_t reg, uint8_t* value);
TAVLIN_API int32_t TavlinVcam_ReadSrom(int32_t index, int32_t address, uint8_t* value);
/* Writes one SROM byte directly (e.g. the colour-variant byte at 0x1EB0). */
TAVLIN_API int32_t TavlinVcam_WriteSrom(int32_t index, int32_t address, uint8_t value);

/* Frame transfer size last set with command 0x09 (0 before any). */
TAVLIN_API int32_t TavlinVcam_GetTransferSize(int32_t index, uint32_t* bytes);

/* Driver setting value last received (the trigger read time-out in ms; 3000 at attach). */
TAVLIN_API int32_t TavlinVcam_GetDriverSetting(int32_t index, uint32_t* value);

TAVLIN_API int32_t TavlinVcam_GetCounters(int32_t index, TavlinVcamCounters* counters);

/* Packet trace: the camera keeps its last 16384 requests. */
TAVLIN_API int32_t TavlinVcam_GetTraceCount(int32_t index, uint32_t* count);
/* Copies up to maxEntries entries starting at the first-th kept entry; returns the number copied
 * (0 also for a bad index or null output). */
TAVLIN_API int32_t TavlinVcam_GetTrace(int32_t index, uint32_t first, TavlinVcamTraceEntry* entries,
                                       uint32_t maxEntries);
TAVLIN_API int32_t TavlinVcam_ClearTrace(int32_t index);

#ifdef __cplusplus
}
#endif

#endif /* TAVLIN_TAVLIN_VCAM_H */
