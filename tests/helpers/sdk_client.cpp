// Test helper: one SDK application driven line by line from stdin, for tests that need several
// processes on one camera. Every command prints one line: "ok[ value]" or "fail[ errors]", where
// errors are the recorded codes newest first.
//   attach N | open | small | callback | trigger | start | stop | frames N [MS] | stopped
//   | write REG VALUE | read REG | exit
// "attach N" plugs an in-process virtual camera in at index N (before "open", so the camera
// object finds it).
// "stopped" waits for the stream-failure message and prints its code.
#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "tavlin/tavlin.h"
#include "tavlin/tavlin_host.h"
#include "tavlin/tavlin_vcam.h"

namespace {

struct Client {
    TAVLIN_HWND events = TavlinHost_CreateMessageWindow();
    TAVLIN_HWND frames = TavlinHost_CreateMessageWindow();
    std::vector<uint8_t> image = std::vector<uint8_t>(1280 * 1024 * 8);
    int32_t camera = 0;

    std::string Result(bool ok, const std::string& value = {}) {
        if (ok) return value.empty() ? "ok" : "ok " + value;
        std::string line = "fail";
        for (int32_t c = Tavlin_GetLastError(camera); c != 0; c = Tavlin_GetLastError(camera)) {
            line += " " + std::to_string(c);
        }
        return line;
    }

    // Frame messages with a record (a zero record reports a stream failure).
    int CountFrames(int wanted, int timeoutMs) {
        int got = 0;
        TavlinMessage m;
        while (got < wanted && TavlinHost_GetMessage(frames, &m, timeoutMs) == 1) {
            if (m.message == TAVLIN_MSG_FRAME && m.wParam != 0) ++got;
        }
        return got;
    }

    // Skips frame messages until one reports that the stream ended; its code, or -1.
    int WaitStreamEnd() {
        TavlinMessage m;
        while (TavlinHost_GetMessage(frames, &m, 10000) == 1) {
            if (m.message == TAVLIN_MSG_FRAME && m.wParam == 0) return static_cast<int>(m.lParam);
        }
        return -1;
    }

    std::string Run(const std::string& command, std::istringstream& args) {
        if (command == "open") {
            camera = Tavlin_Initialize(events);
            return Result(camera != 0);
        }
        if (command == "small") {
            return Result(Tavlin_SetColorMode(camera, 8) == 1 &&
                          Tavlin_SetSubSample(camera, 3) == 1 &&
                          Tavlin_SetWaitTime(camera, 0) == 1);
        }
        if (command == "callback") {
            return Result(Tavlin_CallBackPreview(camera, frames, image.data(),
                                                 static_cast<int32_t>(image.size()), 1) == 1);
        }
        if (command == "trigger") {
            return Result(Tavlin_Trigger(camera, frames, image.data(),
                                         static_cast<int32_t>(image.size()), 1) == 1);
        }
        if (command == "stopped") {
            const int code = WaitStreamEnd();
            return code >= 0 ? Result(true, std::to_string(code)) : "fail";
        }
        if (command == "start") return Result(Tavlin_StartPreview(camera) == 1);
        if (command == "stop") return Result(Tavlin_StopPreview(camera) == 1);
        int a = 0, b = 0;
        if (command == "attach" && args >> a) return TavlinVcam_Attach(a) == 1 ? "ok" : "fail";
        if (command == "frames" && args >> a) {
            if (!(args >> b)) b = 10000;
            const int got = CountFrames(a, b);
            return got == a ? Result(true) : "fail " + std::to_string(got);
        }
        if (command == "write" && args >> a >> b)
            return Result(Tavlin_WriteRegister(camera, a, b) == 1);
        if (command == "read" && args >> a) {
            int32_t ok = 0;
            const int32_t value = Tavlin_ReadRegister(camera, a, &ok);
            return Result(ok == 1, std::to_string(value));
        }
        return "fail unknown";
    }
};

}  // namespace

int main() {
    Client client;
    for (std::string line; std::getline(std::cin, line);) {
        std::istringstream words(line);
        std::string command;
        words >> command;
        if (command == "exit") break;
        std::cout << client.Run(command, words) << std::endl;
    }
    if (client.camera != 0) Tavlin_Release(client.camera);
    TavlinHost_DestroyWindow(client.events);
    TavlinHost_DestroyWindow(client.frames);
    return 0;
}
