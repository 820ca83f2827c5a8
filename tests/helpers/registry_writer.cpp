// Test helper: writes to a registry store file from a separate process.
//   registry_writer <store file> [--fsize-limit <bytes>] set <key> <name> <value>
//       one batch; prints "result <code>"
//   registry_writer <store file> many <key> <prefix> <count>
//       <count> batches, value "<prefix><i>" = i; prints "ok" or "failed <i> <code>"
//   registry_writer <store file> loop <key>
//       saves batches of 20 values forever; prints "ready" after the first
#include <signal.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/registry_store.h"

using tavlin::platform::RegistryKey;
using tavlin::platform::RegistryStore;
using tavlin::platform::RegResult;

namespace {

RegResult SaveOne(const RegistryStore& store, const std::string& key, const std::string& name,
                  uint32_t value) {
    RegistryKey handle;
    if (const RegResult result = store.CreateKey(key, handle); result != RegResult::Success) {
        return result;
    }
    handle.SetValue(name, value);
    return handle.Close();
}

int RunMany(const RegistryStore& store, const std::string& key, const std::string& prefix,
            int count) {
    for (int i = 0; i < count; ++i) {
        const RegResult result = SaveOne(store, key, prefix + std::to_string(i), i);
        if (result != RegResult::Success) {
            std::printf("failed %d %d\n", i, static_cast<int>(result));
            return 1;
        }
    }
    std::printf("ok\n");
    return 0;
}

int RunLoop(const RegistryStore& store, const std::string& key) {
    for (uint32_t round = 0;; ++round) {
        RegistryKey handle;
        store.CreateKey(key, handle);
        for (int i = 0; i < 20; ++i) handle.SetValue("Value" + std::to_string(i), round);
        if (handle.Close() != RegResult::Success) return 1;
        if (round == 0) {
            std::printf("ready\n");
            std::fflush(stdout);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    const RegistryStore store(argv[1]);
    int arg = 2;
    if (std::string(argv[arg]) == "--fsize-limit" && argc > arg + 1) {
        // Past the limit a write fails with EFBIG instead of killing the process.
        signal(SIGXFSZ, SIG_IGN);
        const rlim_t limit = std::strtoull(argv[arg + 1], nullptr, 10);
        const rlimit fsize{limit, limit};
        if (setrlimit(RLIMIT_FSIZE, &fsize) != 0) return 3;
        arg += 2;
    }
    const std::string command = argc > arg ? argv[arg] : "";
    if (command == "set" && argc == arg + 4) {
        const auto value = static_cast<uint32_t>(std::strtoul(argv[arg + 3], nullptr, 0));
        const RegResult result = SaveOne(store, argv[arg + 1], argv[arg + 2], value);
        std::printf("result %d\n", static_cast<int>(result));
        return 0;
    }
    if (command == "many" && argc == arg + 4) {
        return RunMany(store, argv[arg + 1], argv[arg + 2], std::atoi(argv[arg + 3]));
    }
    if (command == "loop" && argc == arg + 2) return RunLoop(store, argv[arg + 1]);
    return 2;
}
