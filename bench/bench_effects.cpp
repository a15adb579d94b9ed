// What running effect libraries in the effect host costs: a 2-second phrase (16-bit mono,
// 44100 Hz) through the gain step of the shipped gain-and-tone library, once called in this
// process and once through the host (the phrase to the host and back over its socket). The
// difference is the cost of the process boundary per phrase; the target is under 2 ms.
// Also the start of a host with its library, which every render pays once per plug-in.
// Run: build/bench/bench_effects
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>

#include "platform/DynamicLibrary.h"
#include "platform/EffectHostClient.h"
#include "plugins/PluginDescription.h"

namespace kantor {
namespace {

constexpr uint32_t kRate = 44100;
constexpr uint16_t kGainMinus6 = 4;

std::string toneLibrary() { return pluginLibraryPath(std::string(KANTOR_EFFECTS_DIR) + "/tone/tone.ncp"); }

std::vector<int16_t> twoSecondPhrase() {
    std::vector<int16_t> v(2 * kRate);
    for (std::size_t i = 0; i < v.size(); ++i) v[i] = static_cast<int16_t>(8000 * std::sin(6.283185307 * 220.0 * double(i) / kRate));
    return v;
}

void BM_PhraseInProcess(benchmark::State& state) {
    DynamicLibrary lib;
    if (!lib.open(toneLibrary())) {
        state.SkipWithError(lib.error().c_str());
        return;
    }
    using DoEffect = int32_t (*)(int32_t, int32_t, const int16_t*, int32_t, int16_t**, int32_t*);
    using Call = int32_t (*)();
    using Free = int32_t (*)(int16_t*);
    auto init = reinterpret_cast<Call>(lib.symbol("wefInitialize"));
    auto apply = reinterpret_cast<DoEffect>(lib.symbol("wefDoEffect"));
    auto release = reinterpret_cast<Free>(lib.symbol("wefFreeBuffer"));
    auto deinit = reinterpret_cast<Call>(lib.symbol("wefDeInitialize"));
    const std::vector<int16_t> phrase = twoSecondPhrase();
    for (auto _ : state) {
        int16_t* out = nullptr;
        int32_t length = 0;
        init();
        apply(kRate, kGainMinus6, phrase.data(), static_cast<int32_t>(phrase.size() * 2), &out, &length);
        std::vector<uint8_t> copy(static_cast<std::size_t>(length));  // the program keeps a copy, as it does
        std::memcpy(copy.data(), out, copy.size());
        release(out);
        deinit();
        benchmark::DoNotOptimize(copy.data());
    }
}
BENCHMARK(BM_PhraseInProcess)->Unit(benchmark::kMillisecond);

void BM_PhraseThroughHost(benchmark::State& state) {
    EffectHostLoader loader(KANTOR_EFFECT_HOST_PATH);
    auto lib = loader.load(toneLibrary());
    if (!lib) {
        state.SkipWithError(loader.lastLoadError().c_str());
        return;
    }
    const std::vector<int16_t> phrase = twoSecondPhrase();
    const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(phrase.data()), phrase.size() * 2);
    for (auto _ : state) {
        EffectRunResult r = lib->run(kRate, kGainMinus6, bytes);
        if (!r.ok) state.SkipWithError(r.errorText.c_str());
        benchmark::DoNotOptimize(r.output.data());
    }
}
BENCHMARK(BM_PhraseThroughHost)->Unit(benchmark::kMillisecond);

void BM_StartHostWithLibrary(benchmark::State& state) {
    EffectHostLoader loader(KANTOR_EFFECT_HOST_PATH);
    for (auto _ : state) {
        auto lib = loader.load(toneLibrary());
        if (!lib) state.SkipWithError(loader.lastLoadError().c_str());
        lib.reset();  // the host is stopped with it
    }
}
BENCHMARK(BM_StartHostWithLibrary)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kantor
