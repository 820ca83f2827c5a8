// File primitives for small stores that several processes share: an advisory lock held on a
// separate lock file, whole-file reads, and replacement through a temporary file and rename so
// that a reader or a crash never sees a half-written file.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <string_view>

namespace tavlin::platform {

// flock() on its own lock file: the data file's inode changes with every rename, so a lock on
// the data file itself would not exclude a writer that opened the new one.
class FileLock {
  public:
    enum class Mode { Shared, Exclusive };
    enum class Status { Locked, CannotOpen, TimedOut };

    // Opens (creating it when the folder allows) the lock file and waits up to timeout.
    FileLock(const std::string& lockPath, Mode mode, std::chrono::milliseconds timeout);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    Status status() const { return status_; }
    bool locked() const { return status_ == Status::Locked; }

  private:
    int fd_ = -1;
    Status status_ = Status::CannotOpen;
};

enum class ReadStatus { Ok, Missing, Unreadable, TooLarge };

// Reads a regular file whole. Anything else (a folder, a FIFO) is Unreadable.
ReadStatus ReadWholeFile(const std::string& path, size_t maxBytes, std::string& contents);

// Creates the folder and its missing parents. Returns 0 or the errno of the failing step.
int CreateDirectories(const std::string& path, mode_t mode);

// Writes data to a new temporary file "<folder>/<tempPrefix>XXXXXX", flushes it to disk and
// renames it over path, then flushes the folder. Returns 0 or the errno of the failing step; on
// failure the temporary is removed and path is untouched.
int ReplaceFileAtomically(const std::string& path, std::string_view data,
                          std::string_view tempPrefix);

// Removes files named "<tempPrefix>*" in the folder: temporaries of writers that died. Call it
// only while holding the lock that writers hold while their temporary exists.
void RemoveStaleTemporaries(const std::string& folder, std::string_view tempPrefix);

std::string FolderOf(const std::string& path);
std::string FileNameOf(const std::string& path);

}  // namespace tavlin::platform
