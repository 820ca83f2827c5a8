// Starts a helper program from the test build folder and talks to it over pipes.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <string>
#include <vector>

namespace tavlin::test {

inline std::string TestBinaryDir() {
    char path[PATH_MAX] = {};
    const ssize_t n = readlink("/proc/self/exe", path, sizeof(path) - 1);
    std::string exe(path, n > 0 ? static_cast<size_t>(n) : 0);
    return exe.substr(0, exe.find_last_of('/'));
}

class ChildProcess {
  public:
    // Runs <test binary dir>/<program> with the arguments; stdin and stdout are pipes.
    bool Start(const std::string& program, const std::vector<std::string>& args) {
        // Everything the child needs is built before fork: a child of a threaded process may
        // only make async-signal-safe calls until it executes the program.
        const std::string path = TestBinaryDir() + "/" + program;
        // A helper that was not built fails here, not later as a child that printed nothing.
        if (access(path.c_str(), X_OK) != 0) return false;
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(path.c_str()));
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        // Close-on-exec, so other children never hold this child's pipe ends open.
        int in[2], out[2];
        if (pipe2(in, O_CLOEXEC) != 0) return false;
        if (pipe2(out, O_CLOEXEC) != 0) {
            close(in[0]);
            close(in[1]);
            return false;
        }
        pid_ = fork();
        if (pid_ == 0) {
            dup2(in[0], 0);
            dup2(out[1], 1);
            execv(path.c_str(), argv.data());
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        if (pid_ < 0) {
            close(in[1]);
            close(out[0]);
            return false;
        }
        toChild_ = in[1];
        fromChild_ = fdopen(out[0], "r");
        return fromChild_ != nullptr;
    }

    // Reads one line the child printed (without the newline); empty at end of file.
    std::string ReadLine() {
        char line[256] = {};
        if (fgets(line, sizeof(line), fromChild_) == nullptr) return {};
        std::string s(line);
        if (!s.empty() && s.back() == '\n') s.pop_back();
        return s;
    }

    void Send(const std::string& line) {
        const std::string text = line + "\n";
        (void)!write(toChild_, text.data(), text.size());
    }

    void Kill() {
        if (pid_ > 0) kill(pid_, SIGKILL);
    }

    // Waits for the child and returns its exit status (-1 when it died of a signal).
    int Wait() {
        if (pid_ <= 0) return -1;
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    ~ChildProcess() {
        if (toChild_ >= 0) close(toChild_);
        if (fromChild_ != nullptr) fclose(fromChild_);
        if (pid_ > 0) {
            Kill();
            Wait();
        }
    }

    pid_t Pid() const { return pid_; }

  private:
    pid_t pid_ = -1;
    int toChild_ = -1;
    FILE* fromChild_ = nullptr;
};

}  // namespace tavlin::test
