// The store file of the HKEY_CURRENT_USER tree: read under a shared lock, rewritten whole under an
// exclusive lock by replaying one writer's changes onto the newest contents, so that processes
// writing different values at the same time lose none of them.
#pragma once

#include <string>
#include <vector>

#include "settings/registry_result.h"
#include "settings/registry_tree.h"

namespace tavlin::settings {

class RegistryFile {
  public:
    explicit RegistryFile(std::string path);

    // The stored tree. A missing, empty or unreadable file reads as an empty tree; a file that
    // does not parse is first moved aside to "<name>.corrupt-<UTC time>".
    RegistryTree Load() const;

    // Applies the changes to the newest stored tree and replaces the file when that changed
    // anything. An unreadable or read-only file is left as it is and gives AccessDenied.
    RegResult Commit(const std::vector<RegistryChange>& changes) const;

    const std::string& path() const { return path_; }
    std::string lockPath() const { return path_ + ".lock"; }

  private:
    enum class Contents { Parsed, Absent, Corrupt, Unreadable };
    Contents ReadTree(RegistryTree& tree) const;
    void MoveAside() const;
    // Only absolute paths: a relative one would land wherever the process happens to run.
    bool UsablePath() const { return !path_.empty() && path_[0] == '/'; }

    std::string path_;
};

}  // namespace tavlin::settings
