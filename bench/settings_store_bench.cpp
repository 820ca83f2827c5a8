// Cost of the settings persistence a camera pays at initialize and release: loads read and parse
// the whole store file, saves rewrite it atomically (with fsync).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "settings/preset_list.h"
#include "settings/registry_settings.h"
#include "settings/registry_store.h"
#include "settings/registry_text.h"

namespace {

using namespace tavlin;

// A store in a temporary folder holding a full preset table for a few cameras.
class BenchStore {
  public:
    BenchStore() {
        std::string pattern = (std::filesystem::temp_directory_path() / "tavlin-bench-XXXXXX");
        folder_ = mkdtemp(pattern.data());
        store_ = std::make_unique<settings::RegistryStore>(folder_ + "/tavlin/registry.reg");
        settings::PresetList list;
        list.presetCount = settings::kMaxSizePresets;
        for (int camera = 0; camera < 4; ++camera) {
            settings::SavePresetList(camera, list, *store_);
            settings::SaveAnalog(camera, settings::AnalogSettings{}, *store_);
        }
    }
    ~BenchStore() { std::filesystem::remove_all(folder_); }
    const settings::RegistryStore& store() const { return *store_; }

  private:
    std::string folder_;
    std::unique_ptr<settings::RegistryStore> store_;
};

void BM_LoadAtInitialize(benchmark::State& state) {
    BenchStore bench;
    settings::SizePreset preset;
    settings::FormatSettings format;
    settings::AnalogSettings analog;
    settings::FilterSettings filter;
    for (auto _ : state) {
        settings::LoadSizePreset(0, preset, bench.store());
        settings::LoadFilter(0, filter, bench.store());
        settings::LoadGray(0, filter.gray, bench.store());
        settings::LoadAnalog(0, settings::MirrorFlags{}, analog, bench.store());
        settings::LoadFormat(0, format, bench.store());
        benchmark::DoNotOptimize(analog);
    }
}
BENCHMARK(BM_LoadAtInitialize)->Unit(benchmark::kMicrosecond);

void BM_SaveAnalog(benchmark::State& state) {
    BenchStore bench;
    settings::AnalogSettings analog;
    for (auto _ : state) {
        ++analog.exposure;  // a changed value forces the rewrite
        benchmark::DoNotOptimize(settings::SaveAnalog(0, analog, bench.store()));
    }
}
BENCHMARK(BM_SaveAnalog)->Unit(benchmark::kMicrosecond);

void BM_ParseStoreText(benchmark::State& state) {
    settings::RegistryTree tree;
    for (int camera = 0; camera < 4; ++camera) {
        for (int preset = 0; preset < 100; ++preset) {
            const std::string key = "Software\\Korvel\\Tavlin410QZVKESdk\\Camera_0" +
                                    std::to_string(camera) + "\\Size_" + std::to_string(preset);
            for (const char* name : {"TH", "TV", "EH", "EV", "EHS", "EVS", "Buf"}) {
                tree.SetValue(key, name, 1280);
            }
        }
    }
    const std::string text = settings::FormatRegistryText(tree);
    for (auto _ : state) benchmark::DoNotOptimize(settings::ParseRegistryText(text));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ParseStoreText)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
