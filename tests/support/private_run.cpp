// Linked into the test programs that start cameras, daemons and helpers. With
// TAVLIN_TEST_PRIVATE_RUN set, the process (and every helper it starts, through the environment)
// gets its own settings folder, runtime folder (daemon sockets), scratch folder and claim
// section, under the run's TAVLIN_TEST_TMP. Test processes then share nothing machine-wide with
// each other and ctest may run them side by side; they are still cleared away when the process
// ends normally.
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace {

// Plain arrays: the exit handler runs after the destructors of static objects.
char g_root[1024];
char g_section[256];
pid_t g_owner = 0;

void RemovePrivateRun() {
    // A forked child that exits normally must not take its parent's folders with it.
    if (getpid() != g_owner) return;
    shm_unlink(g_section);
    std::error_code ignored;
    std::filesystem::remove_all(g_root, ignored);
}

bool MakeFolder(const std::string& path, mode_t mode) {
    std::error_code error;
    std::filesystem::create_directories(path, error);
    return !error && chmod(path.c_str(), mode) == 0;
}

// Before any other initialiser of the program, so nothing has read the variables yet.
__attribute__((constructor(101))) void EnterPrivateRun() {
    const char* wanted = std::getenv("TAVLIN_TEST_PRIVATE_RUN");
    const char* scratch = std::getenv("TAVLIN_TEST_TMP");
    if (wanted == nullptr || *wanted == '\0' || scratch == nullptr) return;
    // A helper started by a test inherits the private run; it must not make one of its own.
    if (std::getenv("TAVLIN_TEST_PRIVATE_ROOT") != nullptr) return;
    const std::string pid = std::to_string(getpid());
    const std::string root = std::string(scratch) + "/process-" + pid;
    const char* base = std::getenv("TAVLIN_SHARED_SECTION");
    const std::string section = std::string(base != nullptr ? base : "/tavlin-test") + "-" + pid;
    if (root.size() >= sizeof(g_root) || section.size() >= sizeof(g_section) ||
        !MakeFolder(root + "/config", 0700) || !MakeFolder(root + "/run", 0700) ||
        !MakeFolder(root + "/tmp", 0700)) {
        std::fprintf(stderr, "private test run: cannot prepare %s\n", root.c_str());
        std::_Exit(1);
    }
    setenv("TAVLIN_TEST_PRIVATE_ROOT", root.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (root + "/run").c_str(), 1);
    setenv("TAVLIN_TEST_TMP", (root + "/tmp").c_str(), 1);
    setenv("TAVLIN_SHARED_SECTION", section.c_str(), 1);
    root.copy(g_root, sizeof(g_root) - 1);
    section.copy(g_section, sizeof(g_section) - 1);
    g_owner = getpid();
    std::atexit(RemovePrivateRun);
}

}  // namespace
