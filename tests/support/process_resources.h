// What a process holds, read from /proc: descriptors, threads, resident memory and shared-memory
// objects. Tests take a snapshot before and after the work under test and compare.
#pragma once

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace tavlin::test {

// Entries of a folder, without "." and "..", or -1 when it cannot be read.
inline int CountFolderEntries(const char* folder) {
    DIR* dir = opendir(folder);
    if (dir == nullptr) return -1;
    int count = 0;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") ++count;
    }
    closedir(dir);
    return count;
}

// Open descriptors, less the one the count itself holds on /proc/self/fd.
inline int OpenDescriptors() {
    const int n = CountFolderEntries("/proc/self/fd");
    return n > 0 ? n - 1 : n;
}

inline int ThreadCount() {
    return CountFolderEntries("/proc/self/task");
}

// The names of this process's threads (their comm), sorted, for messages about a count.
inline std::string ThreadNames() {
    std::vector<std::string> names;
    if (DIR* dir = opendir("/proc/self/task")) {
        while (const dirent* entry = readdir(dir)) {
            const std::string id = entry->d_name;
            if (id == "." || id == "..") continue;
            std::ifstream comm("/proc/self/task/" + id + "/comm");
            std::string name;
            if (std::getline(comm, name)) names.push_back(name);
        }
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    std::string joined;
    for (const std::string& name : names) joined += (joined.empty() ? "" : ", ") + name;
    return joined;
}

// A "Name:   value" line of /proc/self/status (kB for the Vm lines), -1 when absent.
inline int64_t StatusValue(const std::string& key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(key + ":", 0) != 0) continue;
        std::istringstream fields(line.substr(key.size() + 1));
        int64_t value = -1;
        fields >> value;
        return value;
    }
    return -1;
}

inline int64_t ResidentKiB() {
    return StatusValue("VmRSS");
}

// Mappings of POSIX shared memory (/dev/shm) and System V segments in this process.
inline int SharedMappings() {
    std::ifstream maps("/proc/self/maps");
    std::string line;
    int count = 0;
    while (std::getline(maps, line)) {
        if (line.find("/dev/shm/") != std::string::npos ||
            line.find("/SYSV") != std::string::npos) {
            ++count;
        }
    }
    return count;
}

// Objects in /dev/shm whose name starts with the prefix (all of them for an empty prefix).
inline int SharedObjects(const std::string& prefix = {}) {
    DIR* dir = opendir("/dev/shm");
    if (dir == nullptr) return -1;
    int count = 0;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        if (name.rfind(prefix, 0) == 0) ++count;
    }
    closedir(dir);
    return count;
}

struct ProcessResources {
    int descriptors = 0;
    int threads = 0;
    int sharedMappings = 0;
    int sharedObjects = 0;
    int64_t residentKiB = 0;
    std::string threadNames;

    static ProcessResources Now() {
        return {OpenDescriptors(), ThreadCount(), SharedMappings(),
                SharedObjects(),   ResidentKiB(), ThreadNames()};
    }

    std::string ToString() const {
        std::ostringstream text;
        text << "fds=" << descriptors << " threads=" << threads << " shm-maps=" << sharedMappings
             << " shm-objects=" << sharedObjects << " rss=" << residentKiB
             << "KiB (threads: " << threadNames << ")";
        return text.str();
    }
};

// A snapshot taken once the thread and descriptor counts have held still for `still` (threads of
// the work before it may be on their way out, more slowly on a loaded machine or under a
// sanitizer), or the last one at the time-out.
inline ProcessResources SteadyResources(
    std::chrono::milliseconds still = std::chrono::milliseconds(250),
    std::chrono::milliseconds timeout = std::chrono::milliseconds(3000)) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    ProcessResources last = ProcessResources::Now();
    auto since = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        const ProcessResources now = ProcessResources::Now();
        if (now.threads != last.threads || now.descriptors != last.descriptors) {
            since = std::chrono::steady_clock::now();
        } else if (std::chrono::steady_clock::now() - since >= still) {
            return now;
        }
        last = now;
    }
    return last;
}

// Threads end a moment after they are joined or detached (the kernel reaps them): waits up to
// the time-out for the count to come back to `expected` and returns the last count seen.
inline int SettledThreadCount(int expected,
                              std::chrono::milliseconds timeout = std::chrono::milliseconds(2000)) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    int now = ThreadCount();
    while (now > expected && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        now = ThreadCount();
    }
    return now;
}

// Same for descriptors (a socket closed by a worker on its way out).
inline int SettledDescriptors(int expected,
                              std::chrono::milliseconds timeout = std::chrono::milliseconds(2000)) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    int now = OpenDescriptors();
    while (now > expected && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        now = OpenDescriptors();
    }
    return now;
}

}  // namespace tavlin::test
