#include "plugins/EffectorModel.h"

#include <new>

#include "platform/UserPrompt.h"
#include "plugins/PluginTexts.h"
#include "settings/Settings.h"

namespace kantor {

void EffectorModel::open(const std::vector<std::string>& registered, bool report) {
    entries_.clear();
    pluginRow_ = effectRow_ = chosenRow_ = -1;
    for (const std::string& path : registered) {
        Entry e;
        if (!isFreePluginPlace(path) && !path.empty()) {
            e.path = path;
            PluginDescription d;
            if (readPluginDescription(path, d, report ? &prompt_ : nullptr) == 0) e.description = std::move(d);
            // In settings mode a file that fails leaves the list (its place stays).
            else if (report) e.path.clear();
        }
        entries_.push_back(std::move(e));
    }
}

void EffectorModel::openSettings(const std::vector<std::string>& registered) {
    mode_ = EffectorMode::Settings;
    references_ = {};
    chosenRows_.clear();
    open(registered, true);
}

void EffectorModel::openSelection(const std::vector<std::string>& registered,
                                  const std::array<int32_t, 3>& references) {
    mode_ = EffectorMode::Selection;
    open(registered, false);
    references_ = references;
    rebuildChosen();
}

std::string EffectorModel::title() const {
    return mode_ == EffectorMode::Settings ? plugintext::kSettingsTitle : plugintext::kSelectionTitle;
}

std::vector<std::string> EffectorModel::pluginRows() const {
    std::vector<std::string> rows;
    for (const Entry& e : entries_)
        if (e.description) rows.push_back(e.description->name);
    return rows;
}

int EffectorModel::positionOfRow(int row) const {
    if (row < 0) return -1;
    int seen = 0;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (!entries_[i].description) continue;
        if (seen++ == row) return static_cast<int>(i);
    }
    return -1;
}

const PluginDescription* EffectorModel::selectedDescription() const {
    const int at = positionOfRow(pluginRow_);
    return at < 0 ? nullptr : &*entries_[static_cast<std::size_t>(at)].description;
}

void EffectorModel::selectPlugin(int row) {
    pluginRow_ = positionOfRow(row) < 0 ? -1 : row;
    effectRow_ = -1;
}

std::vector<std::string> EffectorModel::effectRows() const {
    std::vector<std::string> rows;
    if (const PluginDescription* d = selectedDescription())
        for (const PluginEffect& e : d->effects) rows.push_back(effectEntryText(e));
    return rows;
}

void EffectorModel::selectEffect(int row) {
    const PluginDescription* d = selectedDescription();
    effectRow_ = d && row >= 0 && static_cast<std::size_t>(row) < d->effects.size() ? row : -1;
}

std::string EffectorModel::commentText() const {
    const PluginDescription* d = selectedDescription();
    return d ? d->comment : std::string();
}

void EffectorModel::selectChosen(int row) {
    chosenRow_ = row >= 0 && static_cast<std::size_t>(row) < chosenRows_.size() ? row : -1;
}

void EffectorModel::registerFile(const std::string& path) {
    if (mode_ != EffectorMode::Settings) return;
    const std::size_t slash = path.find_last_of('/');
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash) || path.substr(dot + 1) != "ncp")
        return;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i].description && entries_[i].path == path) {
            int row = 0;
            for (std::size_t k = 0; k < i; ++k) row += entries_[k].description ? 1 : 0;
            selectPlugin(row);
            return;
        }
    }
    // The settings file holds at most 511 bytes of cp932 per path: another path is never stored.
    if (!Settings::isStorableText(path)) {
        prompt_.notice(plugintext::kErrorCaption, plugintext::kPathNotStorable);
        return;
    }
    PluginDescription d;
    if (readPluginDescription(path, d, &prompt_) != 0) return;
    try {
        entries_.push_back({path, std::move(d)});
    } catch (const std::bad_alloc&) {
        prompt_.notice(plugintext::kErrorCaption, plugintext::kOutOfMemory);
        return;
    }
    selectPlugin(static_cast<int>(pluginRows().size()) - 1);
}

void EffectorModel::removeSelected() {
    if (mode_ != EffectorMode::Settings) return;
    const int at = positionOfRow(pluginRow_);
    if (at < 0) return;
    entries_[static_cast<std::size_t>(at)] = Entry{};
    pluginRow_ = effectRow_ = -1;
}

void EffectorModel::rebuildChosen() {
    chosenRows_.clear();
    chosenRow_ = -1;
    for (int32_t ref : references_) {
        const uint16_t plugin = effectPluginNumber(ref);
        const PluginDescription* d =
            plugin >= 1 && plugin <= entries_.size() && entries_[plugin - 1u].description
                ? &*entries_[plugin - 1u].description
                : nullptr;
        if (!d || d->name.empty()) break;
        const PluginEffect* e = d->findEffect(effectNumber(ref));
        chosenRows_.push_back(d->name + " |" + (e ? effectEntryText(*e) : std::string()));
    }
}

void EffectorModel::choose() {
    if (mode_ != EffectorMode::Selection) return;
    if (chosenRows_.size() >= references_.size()) {
        prompt_.notice(plugintext::kErrorCaption, plugintext::kTooManyEffects);
        return;
    }
    const int at = positionOfRow(pluginRow_);
    if (at < 0) {
        prompt_.notice(plugintext::kErrorCaption, plugintext::kChoosePlugin);
        return;
    }
    if (effectRow_ < 0) {
        prompt_.notice(plugintext::kErrorCaption, plugintext::kChooseEffect);
        return;
    }
    const PluginEffect& e = entries_[static_cast<std::size_t>(at)].description->effects[static_cast<std::size_t>(effectRow_)];
    references_[chosenRows_.size()] =
        makeEffectReference(static_cast<uint16_t>(at + 1), static_cast<uint16_t>(static_cast<uint32_t>(e.number)));
    rebuildChosen();
}

void EffectorModel::unchoose() {
    if (mode_ != EffectorMode::Selection || chosenRow_ < 0) return;
    references_[static_cast<std::size_t>(chosenRow_)] = 0;
    std::array<int32_t, 3> packed{};
    std::size_t n = 0;
    for (int32_t ref : references_)
        if (effectPluginNumber(ref) != 0) packed[n++] = ref;
    references_ = packed;
    rebuildChosen();
}

std::vector<std::string> EffectorModel::settingsResult() const {
    std::vector<std::string> out;
    for (const Entry& e : entries_) out.push_back(e.description ? e.path : kFreePluginPlace);
    while (!out.empty() && isFreePluginPlace(out.back())) out.pop_back();
    return out;
}

}  // namespace kantor
