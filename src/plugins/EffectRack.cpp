#include "plugins/EffectRack.h"

#include "platform/UserPrompt.h"
#include "plugins/PluginDescription.h"
#include "plugins/PluginTexts.h"

namespace kantor {

EffectRack::EffectRack(EffectLibraryLoader& loader, UserPrompt& prompt, RegisteredList registered)
    : loader_(loader), prompt_(prompt), registered_(std::move(registered)) {}

EffectRack::~EffectRack() { unloadAll(); }

void EffectRack::loadAll() {
    unloadAll();
    paths_ = registered_ ? registered_() : std::vector<std::string>{};
    slots_.resize(paths_.size());
    for (std::size_t i = 0; i < paths_.size(); ++i) {
        const std::string library = pluginLibraryPath(paths_[i]);
        if (!library.empty()) slots_[i] = loader_.load(library);  // stays empty when it fails
    }
}

void EffectRack::unloadAll() {
    slots_.clear();
    paths_.clear();
}

bool EffectRack::apply(const std::array<int32_t, 3>& effects, SoundBuffer& phrase, uint32_t rate) {
    for (int32_t effect : effects) {
        const uint16_t plugin = effectPluginNumber(effect);
        if (plugin == 0 || plugin > slots_.size() || !slots_[plugin - 1u]) continue;
        EffectLibrary& library = *slots_[plugin - 1u];
        EffectRunResult r = library.run(rate, effectNumber(effect), phrase.bytes());
        if (r.outputTaken) {
            SoundBuffer replaced;
            if (!replaced.assign(r.output, kMixerSpare)) return false;
            phrase = std::move(replaced);
        }
        if (r.ok) continue;
        slots_[plugin - 1u].reset();  // not called again until the next load
        const EffectLabel label = effectLabel(effect, paths_);
        if (!label.combined.empty())
            prompt_.notice(plugintext::kEffectErrorCaption, label.combined + "\n" + r.errorText);
    }
    return true;
}

}  // namespace kantor
