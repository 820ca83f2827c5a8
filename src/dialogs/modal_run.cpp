#include "dialogs/modal_run.h"

#include <unistd.h>

#include "diag/log.h"
#include "dialogs/dialog_registry.h"
#include "dialogs/presenter.h"

namespace tavlin::dialogs {

namespace {

std::atomic<int32_t> gIdleTimeoutMs{kDefaultIdleTimeoutMs};

int64_t CurrentThreadId() {
    return static_cast<int64_t>(::gettid());
}

}  // namespace

int32_t SetIdleTimeout(int32_t milliseconds) {
    return gIdleTimeoutMs.exchange(milliseconds);
}

int32_t IdleTimeout() {
    return gIdleTimeoutMs.load();
}

std::shared_ptr<ModalRun> ModalRun::Create(const ModalOptions& options) {
    return std::make_shared<ModalRun>(options);
}

int32_t ModalRun::Execute(const DialogTemplate& source, DialogProcedure& procedure) {
    threadId_.store(CurrentThreadId());
    {
        std::lock_guard<std::mutex> guard(mutex_);
        lastActivity_ = std::chrono::steady_clock::now();
    }
    const std::shared_ptr<Presenter> presenter = CurrentPresenter();
    top_ = std::make_unique<Dialog>(source, procedure, *this, nullptr, kNoId);
    topHandle_.store(top_->Handle());
    top_->Send({MessageId::InitDialog});
    top_->Show(true);
    if (!Ended()) {
        TAVLIN_LOG(Dialogs, Info, "dialog opened %s", presenter ? "on screen" : "headless");
        if (presenter) presenter->DialogOpened(*top_);
        DialogRegistry::Instance().Opened(shared_from_this());
        Serve(presenter.get());
        DialogRegistry::Instance().Closed(this);
    }
    CloseQueue();
    if (presenter) presenter->DialogClosing(*top_);
    top_.reset();
    TAVLIN_LOG(Dialogs, Info, "dialog closed: result %d", result_);
    return result_;
}

void ModalRun::Serve(Presenter* presenter) {
    while (!Ended()) {
        const int32_t idle = IdleTimeout();
        const bool limited = idle >= 0 && (presenter == nullptr || !presenter->Interactive());
        Job job;
        if (!NextJob(job, limited ? idle : -1)) {
            // Nobody is there to answer: close it as the close box would.
            TAVLIN_LOG(Dialogs, Warn, "dialog idle for %d ms: closed as Cancel", idle);
            top_->Send({MessageId::Close});
            if (!Ended()) End(kIdCancel);
            break;
        }
        RunJob(job);
        if (presenter != nullptr && !Ended()) presenter->DialogChanged(*top_);
    }
}

bool ModalRun::NextJob(Job& job, int32_t idleMs) {
    std::unique_lock<std::mutex> guard(mutex_);
    while (jobs_.empty()) {
        if (idleMs < 0) {
            arrived_.wait(guard);
            continue;
        }
        const auto deadline = lastActivity_ + std::chrono::milliseconds(idleMs);
        if (std::chrono::steady_clock::now() >= deadline) return false;
        arrived_.wait_until(guard, deadline);
    }
    job = std::move(jobs_.front());
    jobs_.pop_front();
    return true;
}

void ModalRun::RunJob(Job& job) {
    bool ran = false;
    try {
        job.work();
        ran = true;
    } catch (...) {
        // A failed piece of work (out of memory) must not take the dialog's thread down.
    }
    if (job.done) job.done->set_value(ran);
}

bool ModalRun::Post(std::function<void()> job) {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        if (closed_) return false;
        jobs_.push_back({std::move(job), nullptr});
    }
    arrived_.notify_one();
    return true;
}

bool ModalRun::Send(std::function<void()> job) {
    if (threadId_.load() == CurrentThreadId()) {
        if (Ended() || top_ == nullptr) return false;
        job();
        return true;
    }
    auto done = std::make_shared<std::promise<bool>>();
    std::future<bool> result = done->get_future();
    {
        std::lock_guard<std::mutex> guard(mutex_);
        if (closed_) return false;
        jobs_.push_back({std::move(job), std::move(done)});
        lastActivity_ = std::chrono::steady_clock::now();
    }
    arrived_.notify_one();
    return result.get();
}

void ModalRun::RestartIdleTime() {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        if (closed_) return;
        lastActivity_ = std::chrono::steady_clock::now();
        jobs_.push_back({[] {}, nullptr});
    }
    arrived_.notify_one();
}

void ModalRun::End(int32_t result) {
    result_ = result;
    ended_.store(true);
}

void ModalRun::CloseQueue() {
    std::deque<Job> abandoned;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        closed_ = true;
        abandoned.swap(jobs_);
    }
    for (Job& job : abandoned) {
        if (job.done) job.done->set_value(false);
    }
}

Dialog* ModalRun::FindDialog(platform::WindowHandle window) {
    if (top_ == nullptr) return nullptr;
    std::vector<Dialog*> pending{top_.get()};
    while (!pending.empty()) {
        Dialog* dialog = pending.back();
        pending.pop_back();
        if (dialog->Handle() == window) return dialog;
        for (const auto& page : dialog->Pages()) pending.push_back(page.get());
    }
    return nullptr;
}

}  // namespace tavlin::dialogs
