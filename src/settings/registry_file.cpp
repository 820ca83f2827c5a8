#include "settings/registry_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>

#include "diag/log.h"
#include "platform/atomic_file.h"
#include "settings/registry_text.h"

namespace tavlin::settings {

using platform::CreateDirectories;
using platform::FileLock;
using platform::FileNameOf;
using platform::FolderOf;
using platform::ReadStatus;
using platform::ReadWholeFile;
using platform::RemoveStaleTemporaries;
using platform::ReplaceFileAtomically;

namespace {

// A settings store is a few kilobytes; anything this large is not one of ours.
constexpr size_t kMaxStoreBytes = 16u * 1024 * 1024;

// Holders keep the lock for one small read or write; waiting longer means a stuck process.
constexpr std::chrono::milliseconds kLockTimeout(30000);

std::string TempPrefix(const std::string& path) {
    return "." + FileNameOf(path) + ".tmp-";
}

RegResult ResultFromErrno(int error) {
    switch (error) {
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return RegResult::DiskFull;
        case EACCES:
        case EPERM:
        case EROFS:
        case ENOTDIR:
        case ENOENT:
        case EISDIR:
            return RegResult::AccessDenied;
        default:
            return RegResult::WriteFault;
    }
}

std::string UtcStamp() {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    gmtime_r(&now, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &parts);
    return text;
}

}  // namespace

RegistryFile::RegistryFile(std::string path) : path_(std::move(path)) {}

RegistryFile::Contents RegistryFile::ReadTree(RegistryTree& tree) const {
    tree = RegistryTree();
    std::string text;
    switch (ReadWholeFile(path_, kMaxStoreBytes, text)) {
        case ReadStatus::Missing:
            return Contents::Absent;
        case ReadStatus::Unreadable:
            return Contents::Unreadable;
        case ReadStatus::TooLarge:
            return Contents::Corrupt;
        case ReadStatus::Ok:
            break;
    }
    // An empty file holds nothing to lose: it reads, and is replaced, as an empty store.
    if (text.empty()) return Contents::Absent;
    std::optional<RegistryTree> parsed = ParseRegistryText(text);
    if (!parsed) return Contents::Corrupt;
    tree = std::move(*parsed);
    return Contents::Parsed;
}

void RegistryFile::MoveAside() const {
    // Callers hold the exclusive lock, so no other process picks the same name meanwhile.
    const std::string base = path_ + ".corrupt-" + UtcStamp();
    std::string target = base;
    for (int n = 1; ::access(target.c_str(), F_OK) == 0; ++n) {
        target = base + "-" + std::to_string(n);
    }
    if (::rename(path_.c_str(), target.c_str()) == 0) {
        TAVLIN_LOG(Settings, Warn, "settings file %s did not parse: moved aside to %s",
                   path_.c_str(), target.c_str());
    } else {
        TAVLIN_LOG(Settings, Error, "settings file %s did not parse and cannot be moved aside: %s",
                   path_.c_str(), std::strerror(errno));
    }
}

RegistryTree RegistryFile::Load() const {
    RegistryTree tree;
    if (!UsablePath()) return tree;
    {
        // Writers only ever rename complete files into place, so if the lock cannot be had the
        // file is still safe to read.
        FileLock lock(lockPath(), FileLock::Mode::Shared, kLockTimeout);
        if (ReadTree(tree) != Contents::Corrupt) return tree;
    }
    FileLock lock(lockPath(), FileLock::Mode::Exclusive, kLockTimeout);
    if (!lock.locked()) return RegistryTree();
    // Another process may have replaced the file since; move aside only what is still corrupt.
    if (ReadTree(tree) == Contents::Corrupt) MoveAside();
    return tree;
}

RegResult RegistryFile::Commit(const std::vector<RegistryChange>& changes) const {
    if (changes.empty()) return RegResult::Success;
    if (!UsablePath()) return RegResult::AccessDenied;
    const std::string folder = FolderOf(path_);
    if (const int error = CreateDirectories(folder, 0700); error != 0) {
        return ResultFromErrno(error);
    }
    FileLock lock(lockPath(), FileLock::Mode::Exclusive, kLockTimeout);
    if (lock.status() == FileLock::Status::TimedOut) return RegResult::LockTimeout;
    if (!lock.locked()) return RegResult::AccessDenied;
    RemoveStaleTemporaries(folder, TempPrefix(path_));

    RegistryTree tree;
    const Contents contents = ReadTree(tree);
    if (contents == Contents::Unreadable) {
        TAVLIN_LOG(Settings, Warn, "settings file %s unreadable: changes not saved", path_.c_str());
        return RegResult::AccessDenied;
    }
    bool changed = false;
    for (const RegistryChange& change : changes) changed |= tree.Apply(change);
    if (!changed && contents != Contents::Corrupt) return RegResult::Success;
    // A file made read-only by its owner is respected, as the rename would bypass its mode.
    if (contents == Contents::Parsed && ::access(path_.c_str(), W_OK) != 0 && errno == EACCES) {
        return RegResult::AccessDenied;
    }
    if (contents == Contents::Corrupt) MoveAside();
    const int error = ReplaceFileAtomically(path_, FormatRegistryText(tree), TempPrefix(path_));
    return error == 0 ? RegResult::Success : ResultFromErrno(error);
}

}  // namespace tavlin::settings
