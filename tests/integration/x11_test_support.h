// A private X server (Xvfb) per test and the programs that run on it: helper applications with
// pipes to their stdin and stdout, and screenshots of the root window.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tavlin::testing {

inline std::string FindProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string folders = path != nullptr ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= folders.size()) {
        const size_t end = std::min(folders.find(':', start), folders.size());
        const std::filesystem::path candidate =
            std::filesystem::path(folders.substr(start, end - start)) / name;
        if (access(candidate.c_str(), X_OK) == 0) return candidate.string();
        start = end + 1;
    }
    return "";
}

inline std::string HelperPath(const std::string& name) {
    return std::filesystem::canonical("/proc/self/exe").parent_path().string() + "/" + name;
}

// A running program with its stdin and stdout on pipes.
class Child {
  public:
    Child(const std::vector<std::string>& argv, const std::vector<std::string>& environment) {
        int in[2];
        int out[2];
        if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(in[0], STDIN_FILENO);
            dup2(out[1], STDOUT_FILENO);
            for (const std::string& variable : environment) putenv(strdup(variable.c_str()));
            std::vector<char*> args;
            for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
            args.push_back(nullptr);
            execv(args[0], args.data());
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        stdin_ = in[1];
        stdout_ = out[0];
    }
    ~Child() {
        if (stdin_ >= 0) close(stdin_);
        if (stdout_ >= 0) close(stdout_);
        if (pid_ > 0 && !exited_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool Started() const { return pid_ > 0; }

    // The next line of output (without the newline), or nothing after timeoutMs or at the end.
    std::optional<std::string> ReadLine(int timeoutMs) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            const size_t newline = buffered_.find('\n');
            if (newline != std::string::npos) {
                std::string line = buffered_.substr(0, newline);
                buffered_.erase(0, newline + 1);
                return line;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd fd{stdout_, POLLIN, 0};
            if (left.count() <= 0 || poll(&fd, 1, static_cast<int>(left.count())) <= 0) {
                return std::nullopt;
            }
            char chunk[256];
            const ssize_t n = read(stdout_, chunk, sizeof(chunk));
            if (n <= 0) return std::nullopt;
            buffered_.append(chunk, static_cast<size_t>(n));
        }
    }

    void WriteLine(const std::string& line) {
        const std::string text = line + "\n";
        [[maybe_unused]] const ssize_t n = write(stdin_, text.data(), text.size());
    }

    // The exit status, or -1 when it did not end within timeoutMs (it is then killed).
    int Wait(int timeoutMs) {
        for (int waited = 0; waited <= timeoutMs; waited += 20) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                exited_ = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            usleep(20000);
        }
        return -1;
    }

    pid_t Pid() const { return pid_; }

  private:
    pid_t pid_ = -1;
    int stdin_ = -1;
    int stdout_ = -1;
    bool exited_ = false;
    std::string buffered_;
};

// Xvfb on a display number it picks itself (-displayfd), 1920 x 1080 at 24 bits.
class XServer {
  public:
    explicit XServer(const std::vector<std::string>& extraArguments = {}) {
        const std::string program = FindProgram("Xvfb");
        if (program.empty()) return;
        int numberPipe[2];
        if (pipe2(numberPipe, O_CLOEXEC) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            const int fd = dup(numberPipe[1]);  // without close-on-exec
            const std::string fdText = std::to_string(fd);
            std::vector<std::string> argv = {program, "-displayfd",   fdText,      "-screen",
                                             "0",     "1920x1080x24", "-nolisten", "tcp"};
            argv.insert(argv.end(), extraArguments.begin(), extraArguments.end());
            std::vector<char*> args;
            for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
            args.push_back(nullptr);
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, STDERR_FILENO);
            execv(args[0], args.data());
            _exit(127);
        }
        close(numberPipe[1]);
        std::string number;
        char c = 0;
        pollfd fd{numberPipe[0], POLLIN, 0};
        while (poll(&fd, 1, 10000) > 0 && read(numberPipe[0], &c, 1) == 1 && c != '\n') {
            number += c;
        }
        close(numberPipe[0]);
        if (!number.empty()) display_ = ":" + number;
    }
    ~XServer() { Kill(); }
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    static bool Installed() { return !FindProgram("Xvfb").empty(); }
    bool Running() const { return !display_.empty(); }
    const std::string& Display() const { return display_; }

    void Kill() {
        if (pid_ <= 0) return;
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

    // The root window's pixels in a rectangle as R, G, B bytes, top row first.
    std::vector<uint8_t> Screenshot(int x, int y, int width, int height) const {
        const std::string command = "xwd -root -silent -display " + display_ +
                                    " | convert xwd:- -crop " + std::to_string(width) + "x" +
                                    std::to_string(height) + "+" + std::to_string(x) + "+" +
                                    std::to_string(y) + " +repage -depth 8 rgb:-";
        std::vector<uint8_t> pixels;
        FILE* pipe = popen(command.c_str(), "r");
        if (pipe == nullptr) return pixels;
        uint8_t chunk[65536];
        size_t n = 0;
        while ((n = fread(chunk, 1, sizeof(chunk), pipe)) > 0) {
            pixels.insert(pixels.end(), chunk, chunk + n);
        }
        pclose(pipe);
        return pixels;
    }

  private:
    pid_t pid_ = -1;
    std::string display_;
};

}  // namespace tavlin::testing
