/*
 * Extensions beyond the catalogue: frame accounting and waiting for processed frames.
 *
 * These functions sit beside the catalogue exports and take the same camera handles. Like them
 * they return 1 on success and 0 on failure, keep the reason in the camera's error history
 * (Tavlin_GetLastError) and post it to the notification window. Any thread may call them at any
 * time, also while the camera streams.
 *
 * Frame accounting. Each acquisition start (Tavlin_StartPreview, Tavlin_Preview,
 * Tavlin_CallBackPreview, Tavlin_Trigger or Tavlin_Capture from idle, or a Tavlin_SnapShot from
 * idle) sets the counts to 0. From then on every frame transfer the device completes is counted
 * once as delivered and, in the same step, once as exactly one of processed, skipped or failed,
 * so every snapshot satisfies
 *
 *     delivered == processed + skipped + failed.
 *
 * A frame still in transit or waiting in the transfer ring is counted when the camera takes or
 * passes over it, at the latest when the acquisition stops or ends.
 */
#ifndef TAVLIN_TAVLIN_EXT_H
#define TAVLIN_TAVLIN_EXT_H

#include "tavlin/tavlin.h"

#ifdef __cplusplus
extern "C" {
#endif

/* A consistent snapshot of one camera's frame accounting. The caller sets size to
 * sizeof(TavlinExtFrameStats); later versions only append fields, and the library fills the
 * fields that fit and sets size to the bytes it filled. */
typedef struct TavlinExtFrameStats {
    uint32_t size;
    int32_t acquiring;   /* 1 while preview, trigger or capture mode runs, else 0 */
    uint64_t delivered;  /* frame transfers the device completed, whole or failed */
    uint64_t processed;  /* frames that went through the image pipeline into the current image */
    uint64_t skipped;    /* whole frames never processed: overtaken by a newer frame (only the
                            newest waiting frame is taken), still waiting when the acquisition
                            stopped, or the first frame after a trigger-mode start */
    uint64_t failed;     /* failed transfers: reads that failed or came back short, and frames of
                            a size that no longer fits the buffers (a trigger-mode read that waits
                            out the driver's time-out without a pulse also counts here) */
    uint64_t sequence;   /* the current image's frame: its place among the delivered frames of
                            this acquisition, from 1; 0 when none was processed since the start */
    int64_t timestampNs; /* CLOCK_MONOTONIC nanoseconds at which the current image's raw frame
                            arrived from the device; 0 when sequence is 0 */
} TavlinExtFrameStats;

/* Fills *stats (see above). Fails with 9 when stats is null or its size does not reach past the
 * four counts (40 bytes). */
TAVLIN_API int32_t TavlinExt_GetFrameStats(int32_t camera, TavlinExtFrameStats* stats);

/* What TavlinExt_WaitFrame copied. The caller sets size to sizeof(TavlinExtFrameInfo). */
typedef struct TavlinExtFrameInfo {
    uint32_t size;
    int32_t width;        /* pixels */
    int32_t height;       /* rows */
    int32_t bitsPerPixel; /* 8, 16, 24, 32, 48 or 64 */
    int32_t stride;       /* bytes per row, rows padded to 4 bytes */
    int32_t imageBytes;   /* stride * height: the buffer length the image needs */
    uint64_t sequence;    /* as TavlinExtFrameStats.sequence, for this image */
    int64_t timestampNs;  /* as TavlinExtFrameStats.timestampNs, for this image */
} TavlinExtFrameInfo;

/* Waits until the current image is a frame of the running acquisition with a sequence number
 * above afterSequence, then copies it into buffer (rows top first when rowOrder is non-zero,
 * bottom first otherwise) and describes it in *info, both taken under the camera's frame lock so
 * image and description belong together. The image copied may be newer than the first one that
 * qualified. Needs no message window and no application buffer registered with the camera:
 * after Tavlin_StartPreview, call it in a loop passing the sequence it last returned.
 *
 * timeoutMs: 0 answers at once, a negative value waits without limit.
 * Returns 1 with a frame. Fails with
 *   9  info is null, its size is below sizeof(TavlinExtFrameInfo), or buffer is null;
 *   5  length is below the image's size (info is filled, so the caller can size its buffer);
 *   13 no acquisition runs (never started, stopped, or ended after a transfer failure) and no
 *      qualifying image is left;
 *   8  the time-out passed without a qualifying frame.
 * In capture mode each Tavlin_SnapShot makes the next frame. */
TAVLIN_API int32_t TavlinExt_WaitFrame(int32_t camera, uint64_t afterSequence, int32_t timeoutMs,
                                       uint8_t* buffer, int32_t length, int32_t rowOrder,
                                       TavlinExtFrameInfo* info);

#ifdef __cplusplus
}
#endif

#endif /* TAVLIN_TAVLIN_EXT_H */
