#pragma once
// The loaded plug-in table and the effect stage of phrase synthesis: one slot per entry of
// the registered plug-in list, in its order (plug-in number n is slot n - 1), each holding a
// loaded effect library or empty.
//
// The engine loads all libraries whenever it starts a render (after unloading the previous
// ones) and unloads them when it releases its rendered data after a failure and when it is
// destroyed. A library that reports an error is shown in a "外部ｴﾌｪｸﾀ・ｴﾗｰ" box and its slot
// is emptied (the library released at once) until the next load.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "plugins/EffectLibrary.h"
#include "synth/SynthEngine.h"

namespace kantor {

class UserPrompt;

class EffectRack : public PhraseEffects {
public:
    // `registered` gives the registered description file paths at each load.
    using RegisteredList = std::function<std::vector<std::string>()>;

    EffectRack(EffectLibraryLoader& loader, UserPrompt& prompt, RegisteredList registered);
    ~EffectRack() override;

    void loadAll() override;
    void unloadAll() override;
    bool apply(const std::array<int32_t, 3>& effects, SoundBuffer& phrase, uint32_t rate) override;

    std::size_t slotCount() const { return slots_.size(); }
    bool slotLoaded(std::size_t i) const { return i < slots_.size() && slots_[i] != nullptr; }

private:
    EffectLibraryLoader& loader_;
    UserPrompt& prompt_;
    RegisteredList registered_;
    std::vector<std::string> paths_;  // the list the slots were loaded from
    std::vector<std::unique_ptr<EffectLibrary>> slots_;
};

}  // namespace kantor
