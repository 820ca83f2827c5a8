#include <algorithm>

#include "dialogs/resource_builders.h"

namespace tavlin::dialogs {

namespace {

const std::vector<DialogTemplate>& AllTemplates() {
    static const std::vector<DialogTemplate> all = [] {
        std::vector<DialogTemplate> templates = resources::SheetTemplates();
        std::vector<DialogTemplate> pages = resources::PageTemplates();
        templates.insert(templates.end(), pages.begin(), pages.end());
        return templates;
    }();
    return all;
}

}  // namespace

const DialogTemplate* FindDialogTemplate(int32_t resourceId) {
    const auto& all = AllTemplates();
    const auto found = std::find_if(all.begin(), all.end(), [resourceId](const DialogTemplate& t) {
        return t.resourceId == resourceId;
    });
    return found == all.end() ? nullptr : &*found;
}

}  // namespace tavlin::dialogs
