// One camera shown live in a window of its own, and the actions the viewer's keys start.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tavlin/tavlin.h"
#include "tavlin/tavlin_host.h"

namespace viewer {

struct Options {
    std::filesystem::path outputFolder = "tavlin-viewer-output";
    int32_t device = -1;  // -1: the first camera found
    int32_t clientWidth = 640;
    int32_t clientHeight = 512;
    int32_t recordMs = 10000;
    int32_t exitAfterFrames = 0;  // 0: run until closed
    bool plainPreview = false;    // Tavlin_Preview: no frame messages, so no frame rate
};

class Viewer {
  public:
    explicit Viewer(Options options);
    ~Viewer();
    Viewer(const Viewer&) = delete;
    Viewer& operator=(const Viewer&) = delete;

    // Opens the camera (attaching an in-process virtual camera when none is found), makes the
    // window and starts the live preview. False with a message on stderr when that fails.
    bool Open();

    // Handles one key; false when it asks to quit.
    bool OnKey(uint32_t key);
    // Reads what was posted to the window and the camera. False when the window was closed or the
    // requested number of frames was shown.
    bool Poll(int32_t waitMs);

    static void PrintKeys();

  private:
    bool StartLive();
    void StopLive();
    void SaveSnapshots();
    void ToggleRecording();
    void NextDevice(int32_t step);
    void NextColourMode();
    void OpenDialog(char which);
    void CloseDialog();
    void ReportFrame(const TavlinMessage& message);

    Options options_;
    TAVLIN_HWND window_ = nullptr;   // the viewer's own window, parent of the preview
    TAVLIN_HWND notices_ = nullptr;  // frame and error messages
    int32_t camera_ = 0;
    bool attachedVirtual_ = false;
    bool recording_ = false;
    int32_t devices_ = 0;
    int32_t device_ = 0;
    int32_t snapshotCount_ = 0;
    int64_t frames_ = 0;
    std::vector<uint8_t> image_;
    std::thread dialog_;
    std::atomic<bool> dialogOpen_{false};
};

}  // namespace viewer
