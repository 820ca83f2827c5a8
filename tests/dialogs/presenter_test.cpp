// A presenter as the modal run sees it: told about the dialog at the right moments, and the idle
// time-out held off while a user can answer, back as soon as the presenter loses its screen.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "dialogs/dialog_registry.h"
#include "dialogs/modal_run.h"
#include "dialogs/presenter.h"

namespace tavlin::dialogs {
namespace {

class CountingPresenter : public Presenter {
  public:
    bool Interactive() const override { return interactive.load(); }
    void DialogOpened(Dialog& dialog) override {
        ++opened;
        shownWhenOpened = dialog.ShownOnScreen();
    }
    void DialogChanged(Dialog&) override { ++changed; }
    void DialogClosing(Dialog&) override { ++closing; }

    std::atomic<bool> interactive{true};
    std::atomic<int> opened{0};
    std::atomic<int> changed{0};
    std::atomic<int> closing{0};
    std::atomic<bool> shownWhenOpened{false};
};

class CancelOnClose : public DialogProcedure {
  public:
    bool OnMessage(Dialog& dialog, const DialogMessage& m) override {
        if (m.id == MessageId::Command && m.controlId == kIdCancel) dialog.EndDialog(kIdCancel);
        return m.id != MessageId::Close;
    }
};

const DialogTemplate& Sheet() {
    static const DialogTemplate sheet = [] {
        DialogTemplate t;
        t.resourceId = 950;
        t.title = "Presented";
        return t;
    }();
    return sheet;
}

TEST(Presenter, InteractiveHoldsOffTheIdleTimeOutUntilItsScreenIsLost) {
    auto presenter = std::make_shared<CountingPresenter>();
    SetPresenter(presenter);
    const int32_t previous = SetIdleTimeout(30);
    CancelOnClose procedure;
    auto run = ModalRun::Create({});
    std::atomic<int32_t> result{-1};
    std::thread thread([&] { result = run->Execute(Sheet(), procedure); });
    ASSERT_TRUE(DialogRegistry::Instance().WaitForRun(
        [&](const ModalRun& r) { return &r == run.get(); }, 5000));

    EXPECT_TRUE(run->Send([] {}));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));  // well past the time-out
    EXPECT_FALSE(run->Ended());
    EXPECT_EQ(presenter->opened.load(), 1);
    EXPECT_TRUE(presenter->shownWhenOpened.load());
    EXPECT_GE(presenter->changed.load(), 1);  // after the work it did

    // The screen went away: the run hears of it and answers to the idle rule again.
    presenter->interactive = false;
    run->RestartIdleTime();
    thread.join();
    SetIdleTimeout(previous);
    SetPresenter(nullptr);
    EXPECT_EQ(result.load(), kIdCancel);
    EXPECT_EQ(presenter->closing.load(), 1);
    run->RestartIdleTime();  // after the end: nothing to wake, nothing queued
    EXPECT_FALSE(run->Post([] {}));
}

}  // namespace
}  // namespace tavlin::dialogs
