// What the key handles opened from one store call share: a snapshot of the stored tree, with the
// writes made through them applied, and the list of those writes not yet in the file.
// Writes made in this process are visible to every session of the process from the moment they
// are made, before they reach the file.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "settings/registry_file.h"
#include "settings/registry_result.h"
#include "settings/registry_tree.h"

namespace tavlin::settings {

class RegistrySession {
  public:
    // Loads the stored tree and overlays the uncommitted writes of the process's other sessions.
    explicit RegistrySession(const std::string& filePath);
    // Commits whatever is still pending; a failure here has nobody left to tell.
    ~RegistrySession();
    RegistrySession(const RegistrySession&) = delete;
    RegistrySession& operator=(const RegistrySession&) = delete;

    bool HasKey(const std::string& path);
    std::optional<uint32_t> Query(const std::string& path, std::string_view name);
    void CreateKey(const std::string& path, bool* created);
    void SetValue(const std::string& path, std::string_view name, uint32_t value);

    // Writes the pending changes to the file as one atomic replacement.
    RegResult Commit();

  private:
    void Record(RegistryChange change);

    RegistryFile file_;
    const uint64_t batchId_;
    std::mutex mutex_;
    RegistryTree tree_;                    // guarded by mutex_
    std::vector<RegistryChange> pending_;  // guarded by mutex_
};

}  // namespace tavlin::settings
