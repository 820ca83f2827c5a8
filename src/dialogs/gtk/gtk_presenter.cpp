#include "dialogs/gtk/gtk_presenter.h"

#include <gtk/gtk.h>

#include "dialogs/modal_run.h"
#include "dialogs/user_input.h"

namespace tavlin::dialogs::gtk {

namespace {

constexpr int32_t kMeasureTimeoutMs = 2000;

// Widgets sized for the dialog font: without this the theme's paddings and minimum heights
// would not fit controls laid out in dialog units.
constexpr const char* kCompactStyle = R"(
.tavlin-dialog entry, .tavlin-dialog spinbutton { min-height: 0; padding: 0 2px; }
.tavlin-dialog spinbutton entry { min-height: 0; padding: 0 2px; }
.tavlin-dialog spinbutton button { min-height: 0; min-width: 0; padding: 0 2px; }
.tavlin-dialog button { min-height: 0; min-width: 0; padding: 0 4px; }
.tavlin-dialog combobox button { padding: 0 2px; }
.tavlin-dialog scale { min-height: 0; padding: 0; margin: 0; }
.tavlin-dialog scale slider { min-width: 8px; min-height: 12px; margin: -6px -3px; }
.tavlin-dialog scale trough { min-height: 2px; margin: 0 3px; }
.tavlin-dialog scale marks { margin: 0; }
.tavlin-dialog checkbutton, .tavlin-dialog radiobutton { min-height: 0; padding: 0; }
.tavlin-dialog check, .tavlin-dialog radio { min-width: 11px; min-height: 11px; margin: 0 3px 0 0; }
.tavlin-dialog notebook tab { min-height: 0; min-width: 0; padding: 0 1px; }
.tavlin-dialog frame > label { margin: 0 2px; }
)";

void LoadStyle(const DialogTemplate& source) {
    static bool loaded = false;
    if (loaded) return;
    loaded = true;
    PangoFontDescription* font = TemplateFont(source);
    const std::string css = std::string(".tavlin-dialog, .tavlin-dialog * { font-family: \"") +
                            pango_font_description_get_family(font) +
                            "\"; font-size: " + std::to_string(source.fontPoints) + "pt; }" +
                            kCompactStyle;
    pango_font_description_free(font);
    GtkCssProvider* provider = gtk_css_provider_new();
    gtk_css_provider_load_from_data(provider, css.c_str(), -1, nullptr);
    gtk_style_context_add_provider_for_screen(gdk_screen_get_default(),
                                              GTK_STYLE_PROVIDER(provider),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(provider);
}

bool Perform(Dialog& dialog, const UserAction& action) {
    switch (action.kind) {
        case UserAction::Kind::Type:
            return input::TypeText(dialog, action.id, action.text);
        case UserAction::Kind::Trackbar:
            return input::MoveTrackbar(dialog, action.id, action.value);
        case UserAction::Kind::Click:
            return input::Click(dialog, action.id);
        case UserAction::Kind::Select:
            return input::SelectEntry(dialog, action.id, action.value);
        case UserAction::Kind::Spin:
            return input::Spin(dialog, action.id, action.value);
        case UserAction::Kind::Close:
            input::PressCloseBox(dialog);
            return true;
    }
    return false;
}

}  // namespace

GtkPresenter::~GtkPresenter() {
    // Windows belong to the GTK thread; at process exit they are left to the process.
    for (auto& [handle, window] : windows_) static_cast<void>(window.release());
}

TextExtent GtkPresenter::Measure(Shown& shown, const DialogTemplate& font,
                                 const std::string& text) {
    const auto cached = shown.extents.find(text);
    if (cached != shown.extents.end()) return cached->second;
    // Until GTK answers, an estimate from the usual dialog font's base units.
    TextExtent extent{static_cast<int32_t>(text.size()) * 6, 13};
    const bool measured = host_.Call(
        [&] {
            LoadStyle(font);
            PangoContext* context = gdk_pango_context_get();
            // The font that draws the label: chosen for the language, as on screen.
            pango_context_set_language(context, pango_language_from_string(font.language.c_str()));
            PangoLayout* layout = pango_layout_new(context);
            PangoFontDescription* description = TemplateFont(font);
            pango_layout_set_font_description(layout, description);
            pango_layout_set_text(layout, text.c_str(), -1);
            pango_layout_get_pixel_size(layout, &extent.width, &extent.height);
            pango_font_description_free(description);
            g_object_unref(layout);
            g_object_unref(context);
        },
        kMeasureTimeoutMs);
    if (measured) shown.extents[text] = extent;
    return extent;
}

DialogView GtkPresenter::Capture(Shown& shown, Dialog& dialog) {
    const DialogTemplate& font = dialog.Template();
    return CaptureView(
        dialog, [&](const std::string& text) { return Measure(shown, font, text); },
        shown.tabLabels);
}

void GtkPresenter::DialogOpened(Dialog& dialog) {
    if (!host_.Alive()) return;
    auto shown = std::make_shared<Shown>();
    shown->handle = dialog.Handle();
    shown->run = dialog.Run().weak_from_this();
    {
        std::lock_guard<std::mutex> guard(mutex_);
        shown_[shown->handle] = shown;
    }
    Hand(shown, Capture(*shown, dialog));
}

void GtkPresenter::DialogChanged(Dialog& dialog) {
    std::shared_ptr<Shown> shown;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        const auto found = shown_.find(dialog.Handle());
        if (found != shown_.end()) shown = found->second;
    }
    if (shown == nullptr || !host_.Alive()) return;
    Hand(shown, Capture(*shown, dialog));
}

void GtkPresenter::DialogClosing(Dialog& dialog) {
    std::shared_ptr<Shown> shown;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        const auto found = shown_.find(dialog.Handle());
        if (found == shown_.end()) return;
        shown = found->second;
        shown_.erase(found);
    }
    {
        std::lock_guard<std::mutex> guard(shown->mutex);
        shown->closed = true;
        shown->pending.reset();
    }
    const platform::WindowHandle handle = shown->handle;
    auto self = shared_from_this();
    host_.Post([self, handle] { self->windows_.erase(handle); });
}

void GtkPresenter::Hand(const std::shared_ptr<Shown>& shown, DialogView view) {
    bool scheduled = false;
    {
        std::lock_guard<std::mutex> guard(shown->mutex);
        if (shown->closed) return;
        // Only the newest view is drawn: a slow screen never works through a backlog.
        scheduled = shown->pending.has_value();
        shown->pending = std::move(view);
    }
    if (scheduled) return;
    auto self = shared_from_this();
    host_.Post([self, shown] { self->ShowPending(shown); });
}

void GtkPresenter::ShowPending(const std::shared_ptr<Shown>& shown) {
    std::optional<DialogView> view;
    {
        std::lock_guard<std::mutex> guard(shown->mutex);
        if (shown->closed) return;
        view.swap(shown->pending);
    }
    if (!view) return;
    const uint64_t done = shown->inputsDone.load();
    auto& window = windows_[shown->handle];
    if (window == nullptr) {
        LoadStyle(*view->source);
        std::weak_ptr<Shown> weak = shown;
        auto self = shared_from_this();
        window = std::make_unique<DialogWindow>(*view, [self, weak](const UserAction& action) {
            const auto alive = weak.lock();
            return alive != nullptr ? self->Perform(alive, action) : 0;
        });
    } else {
        window->Apply(*view, done);
    }
}

uint64_t GtkPresenter::Perform(const std::shared_ptr<Shown>& shown, const UserAction& action) {
    const uint64_t sequence = ++shown->nextInput;
    const std::shared_ptr<ModalRun> run = shown->run.lock();
    if (run == nullptr) return sequence;
    std::weak_ptr<ModalRun> weakRun = run;
    std::weak_ptr<Shown> weakShown = shown;
    run->Post([weakRun, weakShown, action, sequence] {
        const auto liveRun = weakRun.lock();
        if (liveRun == nullptr) return;
        if (Dialog* dialog = liveRun->FindDialog(action.dialog)) gtk::Perform(*dialog, action);
        if (const auto live = weakShown.lock()) live->inputsDone.store(sequence);
    });
    return sequence;
}

std::vector<std::string> GtkPresenter::Describe() {
    std::vector<std::string> lines;
    host_.Call(
        [&] {
            for (const auto& [handle, window] : windows_) {
                const auto described = window->Describe();
                lines.insert(lines.end(), described.begin(), described.end());
            }
        },
        kMeasureTimeoutMs);
    return lines;
}

void GtkPresenter::DisplayLost() {
    std::vector<std::shared_ptr<ModalRun>> runs;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        for (const auto& [handle, shown] : shown_) {
            if (auto run = shown->run.lock()) runs.push_back(std::move(run));
        }
    }
    for (const auto& run : runs) run->RestartIdleTime();
}

void InstallPresenter() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (CurrentPresenter() != nullptr) return;
        GtkHost* host = GtkHost::Instance();
        if (host == nullptr) return;
        auto presenter = std::make_shared<GtkPresenter>(*host);
        std::weak_ptr<GtkPresenter> weak = presenter;
        host->SetLostListener([weak] {
            if (const auto live = weak.lock()) live->DisplayLost();
        });
        SetPresenter(std::move(presenter));
    });
}

std::vector<std::string> DescribeScreenDialogs() {
    const auto presenter = std::dynamic_pointer_cast<GtkPresenter>(CurrentPresenter());
    return presenter != nullptr ? presenter->Describe() : std::vector<std::string>{};
}

}  // namespace tavlin::dialogs::gtk
