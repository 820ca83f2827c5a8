#include "settings/registry_store.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "settings/registry_session.h"
#include "settings/registry_tree.h"

namespace tavlin::settings {

namespace {

constexpr const char* kStoreFolder = "tavlin";
constexpr const char* kStoreFileName = "registry.reg";

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') return home;
    // Services and cron jobs may run without HOME; the password database still knows it.
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr) {
        if (found->pw_dir[0] == '/') return found->pw_dir;
    }
    // No home at all: settings are not kept rather than put where other users could read or
    // plant them (a shared folder such as /tmp).
    return {};
}

}  // namespace

RegistryKey::RegistryKey(std::shared_ptr<RegistrySession> session, std::string path,
                         RegAccess access)
    : session_(std::move(session)), path_(std::move(path)), access_(access) {}

RegistryKey::~RegistryKey() {
    (void)Close();
}

RegistryKey& RegistryKey::operator=(RegistryKey&& other) noexcept {
    if (this != &other) {
        (void)Close();
        session_ = std::move(other.session_);
        path_ = std::move(other.path_);
        access_ = other.access_;
    }
    return *this;
}

RegResult RegistryKey::QueryValue(std::string_view name, uint32_t& value) const {
    if (!session_) return RegResult::InvalidHandle;
    if (!IsValidValueName(name)) return RegResult::InvalidParameter;
    const std::optional<uint32_t> stored = session_->Query(path_, name);
    if (!stored) return RegResult::NotFound;
    value = *stored;
    return RegResult::Success;
}

RegResult RegistryKey::SetValue(std::string_view name, uint32_t value) {
    if (!session_) return RegResult::InvalidHandle;
    if (access_ != RegAccess::AllAccess) return RegResult::AccessDenied;
    if (!IsValidValueName(name)) return RegResult::InvalidParameter;
    session_->SetValue(path_, name, value);
    return RegResult::Success;
}

RegResult RegistryKey::OpenSubKey(std::string_view subKey, RegAccess access,
                                  RegistryKey& key) const {
    if (!session_) return RegResult::InvalidHandle;
    if (!IsValidKeyPath(subKey)) return RegResult::InvalidParameter;
    std::string path = JoinKeyPath(path_, subKey);
    if (!session_->HasKey(path)) return RegResult::NotFound;
    key = RegistryKey(session_, std::move(path), access);
    return RegResult::Success;
}

RegResult RegistryKey::CreateSubKey(std::string_view subKey, RegistryKey& key,
                                    bool* created) const {
    if (!session_) return RegResult::InvalidHandle;
    if (access_ != RegAccess::AllAccess) return RegResult::AccessDenied;
    if (!IsValidKeyPath(subKey)) return RegResult::InvalidParameter;
    std::string path = JoinKeyPath(path_, subKey);
    session_->CreateKey(path, created);
    key = RegistryKey(session_, std::move(path), RegAccess::AllAccess);
    return RegResult::Success;
}

RegResult RegistryKey::Flush() {
    if (!session_) return RegResult::InvalidHandle;
    return session_->Commit();
}

RegResult RegistryKey::Close() {
    if (!session_) return RegResult::InvalidHandle;
    RegResult result = RegResult::Success;
    // The last key of a batch commits here so the caller hears the result; otherwise the
    // session's destructor would commit without anyone to tell.
    if (session_.use_count() == 1) result = session_->Commit();
    session_.reset();
    path_.clear();
    return result;
}

RegistryStore::RegistryStore(std::string filePath) : filePath_(std::move(filePath)) {}

RegistryStore RegistryStore::ForCurrentUser() {
    return RegistryStore(DefaultFilePath());
}

std::string RegistryStore::DefaultFilePath() {
    std::string configHome;
    // The XDG rules ignore a relative XDG_CONFIG_HOME.
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && xdg[0] == '/') {
        configHome = xdg;
    } else if (std::string home = HomeFolder(); !home.empty()) {
        configHome = home + "/.config";
    } else {
        return {};
    }
    return configHome + "/" + kStoreFolder + "/" + kStoreFileName;
}

RegResult RegistryStore::OpenKey(std::string_view subKey, RegAccess access,
                                 RegistryKey& key) const {
    if (!IsValidKeyPath(subKey)) return RegResult::InvalidParameter;
    RegistryKey hive(std::make_shared<RegistrySession>(filePath_), std::string(), access);
    return hive.OpenSubKey(subKey, access, key);
}

RegResult RegistryStore::CreateKey(std::string_view subKey, RegistryKey& key, bool* created) const {
    if (!IsValidKeyPath(subKey)) return RegResult::InvalidParameter;
    RegistryKey hive(std::make_shared<RegistrySession>(filePath_), std::string(),
                     RegAccess::AllAccess);
    return hive.CreateSubKey(subKey, key, created);
}

}  // namespace tavlin::settings
