#include "dialogs/presenter.h"

#include <mutex>

namespace tavlin::dialogs {

namespace {

std::mutex presenterLock;
std::shared_ptr<Presenter> installed;  // guarded by presenterLock

}  // namespace

void SetPresenter(std::shared_ptr<Presenter> presenter) {
    std::lock_guard<std::mutex> guard(presenterLock);
    installed = std::move(presenter);
}

std::shared_ptr<Presenter> CurrentPresenter() {
    std::lock_guard<std::mutex> guard(presenterLock);
    return installed;
}

}  // namespace tavlin::dialogs
