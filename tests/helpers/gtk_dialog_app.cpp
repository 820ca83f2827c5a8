// An application with a live preview and one property dialog open on the X display of $DISPLAY,
// for the on-screen dialog tests. It answers commands on stdin, one per line, with one line each
// ("describe" with several, ended by "end"):
//
//   gtk_dialog_app analog|image|gray|stream
//
//   describe            the dialogs on screen, as the GTK presenter shows them
//   value <id>          automation: the item's value ("value <n>" or "value none")
//   text <id>           automation: the item's text
//   selected <id>       automation: the selected entry of a list or tab control, as text
//   set <id> <text>     automation: type into an edit ("ok 1" or "ok 0")
//   click <id>          automation: click
//   camera              the camera's global gain, exposure and mirror flags, brightness
//   frames              frames received so far
//   close               automation: the close box; prints "dialog <export result>" when it ends
//   quit                Tavlin_Close and the rest; prints "closed <Tavlin_Close result>"
//
// It prints "open <resource>" once the dialog is open, and "dialog <result>" whenever the dialog
// export returns (also when the dialog is closed on screen).
#include <atomic>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#if TAVLIN_HAVE_GTK
#include "dialogs/gtk/gtk_presenter.h"
#endif
#include "tavlin/tavlin.h"
#include "tavlin/tavlin_host.h"
#include "tavlin/tavlin_vcam.h"

namespace {

constexpr int32_t kWidth = 640;
constexpr int32_t kHeight = 512;

std::mutex outputLock;

void Say(const std::string& line) {
    std::lock_guard<std::mutex> guard(outputLock);
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

int32_t RunDialog(const std::string& which, int32_t camera) {
    if (which == "analog") return Tavlin_SetAnalogDlg(camera, nullptr);
    if (which == "stream") return Tavlin_SetCameraDlg(camera, nullptr);
    return Tavlin_SetImageDlg(camera, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 1;
    const std::string which = argv[1];
    TAVLIN_HWND messages = TavlinHost_CreateMessageWindow();
    const int32_t camera = Tavlin_Initialize(messages);
    if (camera == 0 || TavlinVcam_Attach(0) != 1) return 2;
    std::vector<char> names(32 * TAVLIN_DEVICE_NAME_SLOT);
    Tavlin_EnumDevice(camera, names.data());
    // The gray colour modes add the gray filter tab to the image dialog.
    const int32_t colorMode = which == "gray" ? 8 : 24;
    if (Tavlin_SetDeviceNumber(camera, 0) != 1 || Tavlin_SetColorMode(camera, colorMode) != 1 ||
        Tavlin_SetCaptureWindowEx(camera, 1280, 0, 1280, 1024, 0, 1024) != 1 ||
        Tavlin_SetSubSample(camera, 1) != 1) {
        return 3;
    }
    std::vector<uint8_t> image(kWidth * 4 * kHeight);
    Tavlin_SetPreviewWindow(camera, nullptr, 0, 0, 100, 100);
    // A start now and then fails with a transfer error on a freshly attached virtual camera;
    // that is not what these tests are about, so it gets another try (and is said when it stays).
    int32_t started = 0;
    for (int attempt = 0; attempt < 3 && started != 1; ++attempt) {
        started = Tavlin_CallBackPreview(camera, messages, image.data(),
                                         static_cast<int32_t>(image.size()), 1);
    }
    if (started != 1) {
        Say("error " + std::to_string(Tavlin_GetLastError(camera)));
        return 4;
    }
    std::atomic<int> frames{0};
    std::atomic<bool> draining{true};
    std::thread drain([&] {
        TavlinMessage message;
        while (draining.load()) {
            if (TavlinHost_GetMessage(messages, &message, 100) == 1 &&
                message.message == TAVLIN_MSG_FRAME && message.wParam != 0) {
                ++frames;
            }
        }
    });

    // The preview is on screen before the dialog opens over it.
    for (int waited = 0; frames.load() < 5 && waited < 500; ++waited) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::thread dialog([&] { Say("dialog " + std::to_string(RunDialog(which, camera))); });
    TAVLIN_HWND handle = TavlinHost_FindCameraDialog(camera, 10000);
    Say("open " + std::to_string(TavlinHost_DialogGetResourceId(handle)));

    std::string line;
    while (std::getline(std::cin, line)) {
        std::istringstream words(line);
        std::string command;
        int32_t id = 0;
        words >> command >> id;
        if (command == "describe") {
#if TAVLIN_HAVE_GTK
            for (const std::string& entry : tavlin::dialogs::gtk::DescribeScreenDialogs()) {
                Say(entry);
            }
#endif
            Say("end");
        } else if (command == "value") {
            int32_t value = 0;
            Say(TavlinHost_DialogGetItemValue(handle, id, &value) == 1
                    ? "value " + std::to_string(value)
                    : "value none");
        } else if (command == "text") {
            char text[256] = {};
            TavlinHost_DialogGetItemText(handle, id, text, sizeof text);
            Say(std::string("text ") + text);
        } else if (command == "selected") {
            int32_t index = -1;
            char text[256] = {};
            TavlinHost_DialogGetItemValue(handle, id, &index);
            TavlinHost_DialogGetEntryText(handle, id, index, text, sizeof text);
            Say(std::string("selected ") + text);
        } else if (command == "set") {
            std::string text;
            std::getline(words >> std::ws, text);
            Say("ok " + std::to_string(TavlinHost_DialogSetItemText(handle, id, text.c_str())));
        } else if (command == "click") {
            Say("ok " + std::to_string(TavlinHost_DialogClick(handle, id)));
        } else if (command == "camera") {
            int32_t ok = 0;
            Say("camera " + std::to_string(Tavlin_GetGlobalGain(camera, &ok)) + " " +
                std::to_string(Tavlin_GetMirrorV(camera)) + " " +
                std::to_string(Tavlin_GetMirrorH(camera)) + " " +
                std::to_string(Tavlin_GetBrightness(camera, &ok)));
        } else if (command == "frames") {
            Say("frames " + std::to_string(frames.load()));
        } else if (command == "close") {
            Say("ok " + std::to_string(TavlinHost_DialogClose(handle)));
        } else if (command == "quit") {
            break;
        }
    }
    dialog.join();
    const int32_t closed = Tavlin_Close(camera);
    draining.store(false);
    drain.join();
    Tavlin_Release(camera);
    TavlinHost_DestroyWindow(messages);
    TavlinVcam_Detach(0);
    Say("closed " + std::to_string(closed));
    return 0;
}
