#include "dialogs/presenter.h"

#include <mutex>

namespace tavlin::dialogs {

namespace {

std::mutex gPresenterLock;
std::shared_ptr<Presenter> gInstalled;  // guarded by gPresenterLock

}  // namespace

void SetPresenter(std::shared_ptr<Presenter> presenter) {
    std::lock_guard<std::mutex> guard(gPresenterLock);
    gInstalled = std::move(presenter);
}

std::shared_ptr<Presenter> CurrentPresenter() {
    std::lock_guard<std::mutex> guard(gPresenterLock);
    return gInstalled;
}

}  // namespace tavlin::dialogs
