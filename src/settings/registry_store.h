// The per-user registry (HKEY_CURRENT_USER) of this SDK: one human-readable store file per user,
// ${XDG_CONFIG_HOME:-$HOME/.config}/tavlin/registry.reg, holding keys and 4-byte DWORD values.
//
// The calls follow the Win32 registry closely so settings code reads the same:
//   RegOpenKeyEx    -> RegistryStore::OpenKey / RegistryKey::OpenSubKey
//   RegCreateKeyEx  -> RegistryStore::CreateKey / RegistryKey::CreateSubKey
//   RegQueryValueEx -> RegistryKey::QueryValue      RegSetValueEx -> RegistryKey::SetValue
//   RegFlushKey     -> RegistryKey::Flush           RegCloseKey   -> RegistryKey::Close
//
// Batching: the keys opened from one store call (and their subkeys) form one batch. Their writes
// are visible at once to every read in this process, and reach the file as one atomic rewrite
// when the batch's last key is closed or any of its keys is flushed. A save therefore opens its
// top key from the store, creates the rest below it, writes, and flushes once; the flush result
// tells whether the save reached the disk.
//
// Failures never throw: a missing, empty, unreadable or corrupt store reads as empty (a corrupt
// one is moved aside first); an unwritable folder, a read-only store or a full disk make the
// flush fail and leave the file as it was. Handles are thread-safe; the file is shared safely
// between processes.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "settings/registry_result.h"

namespace tavlin::settings {

class RegistrySession;

enum class RegAccess { Read, AllAccess };

// An open key. Move-only; destroying an open key closes it.
class RegistryKey {
  public:
    RegistryKey() = default;
    ~RegistryKey();
    RegistryKey(RegistryKey&& other) noexcept = default;
    RegistryKey& operator=(RegistryKey&& other) noexcept;
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    bool IsOpen() const { return session_ != nullptr; }
    // The key's path below HKEY_CURRENT_USER.
    const std::string& Path() const { return path_; }

    // NotFound when the value does not exist; value is then untouched.
    RegResult QueryValue(std::string_view name, uint32_t& value) const;
    // AccessDenied on a key opened for reading.
    RegResult SetValue(std::string_view name, uint32_t value);

    // subKey is relative ("A\B"); empty opens this key again. The new key joins this key's batch.
    RegResult OpenSubKey(std::string_view subKey, RegAccess access, RegistryKey& key) const;
    // Opens or creates, with all access; created (optional) tells which.
    RegResult CreateSubKey(std::string_view subKey, RegistryKey& key,
                           bool* created = nullptr) const;

    // Writes the batch's pending changes to the store file now.
    RegResult Flush();
    // Closes the key; closing the batch's last key writes its pending changes and returns how
    // that went.
    RegResult Close();

  private:
    friend class RegistryStore;
    RegistryKey(std::shared_ptr<RegistrySession> session, std::string path, RegAccess access);

    std::shared_ptr<RegistrySession> session_;
    std::string path_;
    RegAccess access_ = RegAccess::Read;
};

class RegistryStore {
  public:
    explicit RegistryStore(std::string filePath);

    // The current user's store, from XDG_CONFIG_HOME (when absolute) or HOME, read now. With
    // neither, nor a home in the password database, the path is empty: reads find nothing and
    // writes give AccessDenied.
    static RegistryStore ForCurrentUser();
    static std::string DefaultFilePath();

    // RegOpenKeyEx / RegCreateKeyEx on HKEY_CURRENT_USER; each starts a new batch, reading the
    // store file afresh.
    RegResult OpenKey(std::string_view subKey, RegAccess access, RegistryKey& key) const;
    RegResult CreateKey(std::string_view subKey, RegistryKey& key, bool* created = nullptr) const;

    const std::string& FilePath() const { return filePath_; }

  private:
    std::string filePath_;
};

}  // namespace tavlin::settings
