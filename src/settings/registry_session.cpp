#include "settings/registry_session.h"

#include <atomic>
#include <map>

namespace tavlin::settings {

namespace {

// The writes of every session in this process that have not reached the store file yet, by
// session. Replaying one twice is harmless: each sets a key or value to a fixed state.
class UncommittedWrites {
  public:
    static UncommittedWrites& Instance() {
        static UncommittedWrites instance;
        return instance;
    }

    void Add(uint64_t batchId, const std::string& filePath, const RegistryChange& change) {
        std::lock_guard<std::mutex> guard(mutex_);
        Batch& batch = batches_[batchId];
        batch.filePath = filePath;
        batch.changes.push_back(change);
    }

    void Forget(uint64_t batchId) {
        std::lock_guard<std::mutex> guard(mutex_);
        batches_.erase(batchId);
    }

    void ApplyTo(const std::string& filePath, RegistryTree& tree) const {
        std::lock_guard<std::mutex> guard(mutex_);
        for (const auto& [id, batch] : batches_) {
            if (batch.filePath != filePath) continue;
            for (const RegistryChange& change : batch.changes) tree.Apply(change);
        }
    }

  private:
    struct Batch {
        std::string filePath;
        std::vector<RegistryChange> changes;
    };
    mutable std::mutex mutex_;
    std::map<uint64_t, Batch> batches_;  // in creation order, so later writes win
};

uint64_t NextBatchId() {
    static std::atomic<uint64_t> next{1};
    return next.fetch_add(1, std::memory_order_relaxed);
}

}  // namespace

RegistrySession::RegistrySession(const std::string& filePath)
    : file_(filePath), batchId_(NextBatchId()), tree_(file_.Load()) {
    UncommittedWrites::Instance().ApplyTo(file_.path(), tree_);
}

RegistrySession::~RegistrySession() {
    (void)Commit();
}

bool RegistrySession::HasKey(const std::string& path) {
    std::lock_guard<std::mutex> guard(mutex_);
    return tree_.HasKey(path);
}

std::optional<uint32_t> RegistrySession::Query(const std::string& path, std::string_view name) {
    std::lock_guard<std::mutex> guard(mutex_);
    return tree_.Query(path, name);
}

void RegistrySession::CreateKey(const std::string& path, bool* created) {
    std::lock_guard<std::mutex> guard(mutex_);
    const bool added = tree_.CreateKey(path);
    if (created != nullptr) *created = added;
    Record({RegistryChange::Kind::CreateKey, path, std::string(), 0});
}

void RegistrySession::SetValue(const std::string& path, std::string_view name, uint32_t value) {
    std::lock_guard<std::mutex> guard(mutex_);
    tree_.SetValue(path, name, value);
    Record({RegistryChange::Kind::SetValue, path, std::string(name), value});
}

void RegistrySession::Record(RegistryChange change) {
    UncommittedWrites::Instance().Add(batchId_, file_.path(), change);
    pending_.push_back(std::move(change));
}

RegResult RegistrySession::Commit() {
    std::lock_guard<std::mutex> guard(mutex_);
    if (pending_.empty()) return RegResult::Success;
    const RegResult result = file_.Commit(pending_);
    // Failed writes are dropped too: the caller was told, and later reads must not see them.
    pending_.clear();
    UncommittedWrites::Instance().Forget(batchId_);
    if (result != RegResult::Success) {
        tree_ = file_.Load();
        UncommittedWrites::Instance().ApplyTo(file_.path(), tree_);
    }
    return result;
}

}  // namespace tavlin::settings
