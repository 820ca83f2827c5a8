// Test helper: writes to a registry store file from a separate process.
//   registry_writer <store file> [options] set <key> <name> <value>
//       one batch; prints "result <code>"
//   registry_writer <store file> many <key> <prefix> <count>
//       <count> batches, value "<prefix><i>" = i; prints "ok" or "failed <i> <code>"
//   registry_writer <store file> loop <key>
//       saves batches of 20 values forever; prints "ready" after the first
// <store file> "-" is the current user's store (from XDG_CONFIG_HOME or HOME). Options:
//   --fsize-limit <bytes>    writes past this size fail with EFBIG, as on a full disk
//   --drop-to <uid>          when root, become this user (and its group) first; prints "as <euid>"
//   --die-at <point> <n>     SIGKILL at the n-th rename (1-based), point "before-rename" or
//                            "after-rename": a crash exactly around the atomic replacement
#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "settings/registry_store.h"

using tavlin::settings::RegistryKey;
using tavlin::settings::RegistryStore;
using tavlin::settings::RegResult;

namespace {

enum class DiePoint { Never, BeforeRename, AfterRename };
DiePoint diePoint = DiePoint::Never;
long dieAtRename = 0;
long renames = 0;

}  // namespace

// The store's atomic replacement calls rename(); this definition in the program takes the place
// of the C library's for the statically linked store code, so the helper can die around it.
extern "C" int rename(const char* from, const char* to) {
    const bool die = diePoint != DiePoint::Never && ++renames == dieAtRename;
    if (die && diePoint == DiePoint::BeforeRename) raise(SIGKILL);
    const int result = static_cast<int>(syscall(SYS_renameat2, AT_FDCWD, from, AT_FDCWD, to, 0));
    if (die) raise(SIGKILL);
    return result;
}

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

bool DropTo(uid_t uid) {
    if (geteuid() == 0) {
        // The user's own group too, and no supplementary root groups.
        if (setgroups(0, nullptr) != 0 || setresgid(uid, uid, uid) != 0 ||
            setresuid(uid, uid, uid) != 0) {
            return false;
        }
    }
    std::printf("as %u\n", static_cast<unsigned>(geteuid()));
    std::fflush(stdout);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    int arg = 2;
    while (argc > arg + 1 && std::string(argv[arg]).starts_with("--")) {
        const std::string option = argv[arg];
        if (option == "--fsize-limit") {
            // Past the limit a write fails with EFBIG instead of killing the process.
            signal(SIGXFSZ, SIG_IGN);
            const rlim_t limit = std::strtoull(argv[arg + 1], nullptr, 10);
            const rlimit fsize{limit, limit};
            if (setrlimit(RLIMIT_FSIZE, &fsize) != 0) return 3;
            arg += 2;
        } else if (option == "--drop-to") {
            if (!DropTo(static_cast<uid_t>(std::strtoul(argv[arg + 1], nullptr, 10)))) return 4;
            arg += 2;
        } else if (option == "--die-at" && argc > arg + 2) {
            const std::string point = argv[arg + 1];
            diePoint = point == "before-rename"  ? DiePoint::BeforeRename
                       : point == "after-rename" ? DiePoint::AfterRename
                                                 : DiePoint::Never;
            dieAtRename = std::strtol(argv[arg + 2], nullptr, 10);
            arg += 3;
        } else {
            return 2;
        }
    }
    const RegistryStore store =
        std::string(argv[1]) == "-" ? RegistryStore::ForCurrentUser() : RegistryStore(argv[1]);
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
