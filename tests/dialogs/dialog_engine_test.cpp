// The dialog engine on its own: notification order, the modal run's threads and time-out, and
// what automation may and may not do.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <future>
#include <thread>
#include <vector>

#include "dialogs/automation.h"
#include "dialogs/dialog_registry.h"
#include "dialogs/modal_run.h"
#include "dialogs/tab_label.h"

namespace tavlin::dialogs {
namespace {

ControlTemplate Make(int32_t id, ControlKind kind, int32_t group = 0, uint32_t style = 0) {
    ControlTemplate c;
    c.id = id;
    c.kind = kind;
    c.rect = {0, 0, 10, 10};
    c.group = group;
    c.style = style;
    return c;
}

const DialogTemplate& TestSheet() {
    static const DialogTemplate sheet = [] {
        DialogTemplate t;
        t.resourceId = 900;
        t.title = "Test";
        t.controls = {Make(1001, ControlKind::Tab),
                      Make(10, ControlKind::Edit),
                      Make(11, ControlKind::Edit, 0, kStyleReadOnly),
                      Make(12, ControlKind::Trackbar),
                      Make(13, ControlKind::UpDown),
                      Make(14, ControlKind::CheckBox),
                      Make(15, ControlKind::RadioButton, 1),
                      Make(16, ControlKind::RadioButton, 1),
                      Make(17, ControlKind::RadioButton, 2),
                      Make(18, ControlKind::DropDownList),
                      Make(2, ControlKind::PushButton)};
        return t;
    }();
    return sheet;
}

const DialogTemplate& TestPage() {
    static const DialogTemplate page = [] {
        DialogTemplate t;
        t.resourceId = 901;
        t.childPage = true;
        t.controls = {Make(30, ControlKind::CheckBox)};
        return t;
    }();
    return page;
}

struct Seen {
    MessageId id;
    int32_t control;
    int32_t code;
    bool operator==(const Seen&) const = default;
};

// Records every message; Cancel ends the dialog unless told to ignore everything.
class Recorder : public DialogProcedure {
  public:
    bool OnMessage(Dialog& dialog, const DialogMessage& m) override {
        if (m.id != MessageId::InitDialog) seen.push_back({m.id, m.controlId, m.code});
        if (m.id == MessageId::InitDialog && onInit) onInit(dialog);
        if (m.id == MessageId::Notify && m.code == kTabSelectionChanging) {
            selectionWhileChanging = dialog.Item(1001)->Selection();
        }
        if (ignoreAll) return false;
        if (m.id == MessageId::Command && m.controlId == kIdCancel) dialog.EndDialog(kIdCancel);
        return m.id != MessageId::Close;
    }
    std::vector<Seen> seen;
    std::function<void(Dialog&)> onInit;
    bool ignoreAll = false;
    int32_t selectionWhileChanging = -2;
};

class PageProcedure : public DialogProcedure {
  public:
    bool OnMessage(Dialog&, const DialogMessage& m) override {
        if (m.id == MessageId::Command) clicks.push_back(m.controlId);
        return true;
    }
    std::vector<int32_t> clicks;
};

// A sheet run on a thread of its own, as the exports run theirs.
class EngineTest : public ::testing::Test {
  protected:
    void Start() {
        run_ = ModalRun::Create({});
        thread_ = std::thread([this] { result_ = run_->Execute(TestSheet(), sheet_); });
        ASSERT_TRUE(DialogRegistry::Instance().WaitForRun(
            [this](const ModalRun& r) { return &r == run_.get(); }, 5000));
        handle_ = run_->TopHandle();
    }
    int32_t Stop() {
        if (thread_.joinable()) {
            automation::Close(handle_);
            thread_.join();
        }
        return result_;
    }
    void TearDown() override { Stop(); }

    // Runs work on the dialog's thread with the sheet.
    void OnSheet(const std::function<void(Dialog&)>& work) {
        ASSERT_TRUE(run_->Send([&] { work(*run_->Top()); }));
    }

    Recorder sheet_;
    std::shared_ptr<ModalRun> run_;
    std::thread thread_;
    std::atomic<int32_t> result_{-1};
    platform::WindowHandle handle_ = 0;
};

TEST_F(EngineTest, OnlyTextChangesNotifyAndTheyDoSoBeforeTheSetterReturns) {
    Start();
    OnSheet([&](Dialog& d) {
        d.Item(13)->SetRange(0, 50);
        d.Item(13)->SetBuddy(10);
        d.SetItemText(10, "5");
        ASSERT_EQ(sheet_.seen.size(), 1u);  // already there when SetItemText returns
        d.CheckButton(14, true);
        d.Item(12)->SetPosition(40);
        d.Item(18)->InsertItem(0, "a");
        d.Item(18)->SetSelection(0);
        d.SetItemText(14, "label");   // not an edit: no change notification
        d.SetUpDownPosition(13, 70);  // kept in range; the buddy shows it
        EXPECT_EQ(d.ItemText(10), "50");
    });
    const std::vector<Seen> expected = {{MessageId::Command, 10, kEditChanged},
                                        {MessageId::Command, 10, kEditChanged}};
    EXPECT_EQ(sheet_.seen, expected);
}

TEST_F(EngineTest, WorkFromOtherThreadsRunsOnTheDialogThreadAndStopsWithIt) {
    Start();
    std::thread::id ranOn;
    EXPECT_TRUE(run_->Send([&] { ranOn = std::this_thread::get_id(); }));
    EXPECT_EQ(ranOn, thread_.get_id());
    std::promise<void> posted;
    EXPECT_TRUE(run_->Post([&] { posted.set_value(); }));
    posted.get_future().wait();

    EXPECT_EQ(Stop(), kIdCancel);
    EXPECT_FALSE(run_->Post([] {}));
    EXPECT_FALSE(run_->Send([] { ADD_FAILURE() << "ran after the end"; }));
    EXPECT_EQ(DialogRegistry::Instance().RunOf(handle_), nullptr);
}

TEST_F(EngineTest, AnUnansweredDialogIsClosedAsWithTheCloseBox) {
    const int32_t previous = SetIdleTimeout(50);
    Start();
    thread_.join();
    SetIdleTimeout(previous);
    EXPECT_EQ(result_.load(), kIdCancel);
    const std::vector<Seen> expected = {{MessageId::Close, 0, 0},
                                        {MessageId::Command, kIdCancel, kButtonClicked}};
    EXPECT_EQ(sheet_.seen, expected);
}

TEST_F(EngineTest, ADialogThatIgnoresCloseStillEndsAfterTheIdleTimeOut) {
    sheet_.ignoreAll = true;
    const int32_t previous = SetIdleTimeout(50);
    // Not Start(): the run may be over before a wait for it to show up gets to look.
    run_ = ModalRun::Create({});
    thread_ = std::thread([this] { result_ = run_->Execute(TestSheet(), sheet_); });
    thread_.join();
    SetIdleTimeout(previous);
    EXPECT_EQ(result_.load(), kIdCancel);
}

TEST_F(EngineTest, ClicksFollowTheKindOfButton) {
    sheet_.onInit = [](Dialog& d) { d.CheckButton(17, true); };
    Start();
    EXPECT_TRUE(automation::Click(handle_, 15));
    EXPECT_TRUE(automation::Click(handle_, 16));
    EXPECT_EQ(automation::ItemChecked(handle_, 15), 0);  // same group
    EXPECT_EQ(automation::ItemChecked(handle_, 16), 1);
    EXPECT_EQ(automation::ItemChecked(handle_, 17), 1);  // another group
    EXPECT_TRUE(automation::Click(handle_, 14));
    EXPECT_TRUE(automation::Click(handle_, 14));
    EXPECT_EQ(automation::ItemChecked(handle_, 14), 0);
    EXPECT_FALSE(automation::Click(handle_, 10));  // an edit is not clicked

    OnSheet([](Dialog& d) { d.EnableItem(14, false); });
    EXPECT_FALSE(automation::Click(handle_, 14));
    EXPECT_FALSE(automation::SetItemText(handle_, 11, "1"));  // read-only
    EXPECT_EQ(sheet_.seen.size(), 4u);
}

TEST_F(EngineTest, TabChoiceNotifiesBeforeAndAfterTheSelectionMoves) {
    sheet_.onInit = [](Dialog& d) {
        d.Item(1001)->InsertItem(0, "one");
        d.Item(1001)->InsertItem(1, "two");
        d.Item(1001)->SetSelection(0);
    };
    Start();
    EXPECT_TRUE(automation::SelectEntry(handle_, 1001, 1));
    EXPECT_FALSE(automation::SelectEntry(handle_, 1001, 2));
    EXPECT_EQ(sheet_.selectionWhileChanging, 0);
    int32_t selection = -1;
    EXPECT_TRUE(automation::ItemValue(handle_, 1001, selection));
    EXPECT_EQ(selection, 1);
}

TEST_F(EngineTest, ItemsAreFoundOnTheVisiblePageFirstAndHiddenPagesRefuseActions) {
    PageProcedure first;
    PageProcedure second;
    sheet_.onInit = [&](Dialog& d) {
        d.CreatePage(TestPage(), first, 1001)->Show(true);
        d.CreatePage(TestPage(), second, 1001)->Show(false);
    };
    Start();
    const platform::WindowHandle hidden = automation::Page(handle_, 1);
    ASSERT_NE(hidden, 0u);
    EXPECT_EQ(automation::Visible(hidden), 0);
    EXPECT_TRUE(automation::Click(handle_, 30));
    EXPECT_EQ(first.clicks, std::vector<int32_t>{30});
    EXPECT_FALSE(automation::Click(hidden, 30));
    EXPECT_EQ(automation::ItemChecked(hidden, 30), 0);  // reading is fine

    OnSheet([](Dialog& d) {
        d.Pages()[0]->Show(false);
        d.Pages()[1]->Show(true);
    });
    EXPECT_TRUE(automation::Click(handle_, 30));
    EXPECT_EQ(second.clicks, std::vector<int32_t>{30});
}

class RecordingCanvas : public Canvas {
  public:
    void FillRect(const PixelRect& rect, uint32_t color) override {
        filled = rect;
        fillColor = color;
    }
    void SetBackgroundColor(uint32_t color) override { background = color; }
    TextExtent MeasureText(const std::string& text) override {
        return {static_cast<int32_t>(text.size()) * 7, 13};
    }
    void DrawText(int32_t x, int32_t y, const std::string& text) override {
        drawnX = x;
        drawnY = y;
        drawn = text;
    }
    PixelRect filled;
    uint32_t fillColor = 0;
    uint32_t background = 0;
    int32_t drawnX = 0;
    int32_t drawnY = 0;
    std::string drawn;
};

TEST_F(EngineTest, TabLabelsAreCentredOnTheFaceColour) {
    sheet_.onInit = [](Dialog& d) {
        d.Item(1001)->InsertItem(0, "Analog Gain");
        d.Item(1001)->InsertItem(1, std::string(300, 'x'));
    };
    Start();
    RecordingCanvas canvas;
    DrawItemRequest request{0, {10, 20, 111, 41}, &canvas};
    OnSheet([&](Dialog& d) { DrawTabLabel(d, 1001, request, 0x123456); });
    EXPECT_EQ(canvas.fillColor, 0x123456u);
    EXPECT_EQ(canvas.background, kButtonFaceColor);
    EXPECT_EQ(canvas.drawn, "Analog Gain");
    EXPECT_EQ(canvas.drawnX, 10 + 101 / 2 - 77 / 2);  // integer halves, as drawn
    EXPECT_EQ(canvas.drawnY, 20 + 21 / 2 - 13 / 2);
    request.itemIndex = 1;
    OnSheet([&](Dialog& d) { DrawTabLabel(d, 1001, request, 0); });
    EXPECT_EQ(canvas.drawn.size(), 255u);
}

TEST(Control, ListSelectionFollowsInsertsAndDeletes) {
    const ControlTemplate source = Make(18, ControlKind::DropDownList);
    Control list(source);
    EXPECT_EQ(list.InsertItem(0, "b"), 0);
    EXPECT_EQ(list.InsertItem(0, "a"), 0);
    EXPECT_EQ(list.InsertItem(-1, "c"), 2);
    EXPECT_EQ(list.InsertItem(5, "x"), -1);
    ASSERT_TRUE(list.SetSelection(1));
    list.InsertItem(0, "first");
    EXPECT_EQ(*list.ItemText(list.Selection()), "b");
    list.DeleteItem(0);
    EXPECT_EQ(*list.ItemText(list.Selection()), "b");
    list.DeleteItem(1);
    EXPECT_EQ(list.Selection(), -1);
    EXPECT_FALSE(list.SetSelection(7));
    EXPECT_EQ(list.ItemText(7), nullptr);
}

}  // namespace
}  // namespace tavlin::dialogs
