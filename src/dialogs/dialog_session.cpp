#include "dialogs/dialog_session.h"

#include "platform/language.h"
#include "tavlin/tavlin.h"

namespace tavlin::dialogs {

namespace {

// Posts each piece of news to the dialog's thread; news for a dialog that has ended is dropped.
class PostingListener : public camera::DialogPort::DialogListener {
  public:
    PostingListener(std::shared_ptr<ModalRun> run, DialogNews news)
        : run_(std::move(run)), news_(std::move(news)) {}

    void GainChosen(int32_t gain) override {
        if (news_.gainChosen) run_->Post([this, gain] { news_.gainChosen(gain); });
    }
    void ExposureChosen(int32_t lines) override {
        if (news_.exposureChosen) run_->Post([this, lines] { news_.exposureChosen(lines); });
    }
    void FilterMeasured() override {
        if (news_.filterMeasured) run_->Post([this] { news_.filterMeasured(); });
    }

  private:
    const std::shared_ptr<ModalRun> run_;
    const DialogNews news_;
};

}  // namespace

DialogSession::DialogSession(camera::DialogPort& camera, std::shared_ptr<ModalRun> run,
                             DialogNews news)
    : camera_(camera),
      listener_(std::make_shared<PostingListener>(std::move(run), std::move(news))) {
    attached_ = camera_.AttachDialogListener(listener_);
}

DialogSession::~DialogSession() {
    if (attached_) camera_.DetachDialogListener(listener_.get());
}

bool CheckDevice(camera::DialogPort& camera) {
    if (camera.HasDevice()) return true;
    camera.Errors().Report(TAVLIN_ERR_NO_DEVICE);
    return false;
}

bool JapaneseDialogs() {
    return platform::SystemLanguageId() == platform::kLangJapanese;
}

}  // namespace tavlin::dialogs
