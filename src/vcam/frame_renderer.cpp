#include "vcam/frame_renderer.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>

#include "vcam/colour_chart.h"

namespace tavlin::vcam {

namespace reg = protocol::sensor;

namespace {

constexpr int kFlatLevel = 128;
constexpr int kMaxSample = 1023;
constexpr uint64_t kReferenceShutter = 1049;
constexpr uint64_t kReferenceGain = 14;
constexpr int kLineOverheadClocks = 244;

int DivisorOf(const ModelState& state) {
    const uint16_t a = state.sensor[reg::kReadModeA];
    const uint16_t b = state.sensor[reg::kReadModeB];
    if ((a & reg::kReadModeASkip8) == reg::kReadModeASkip8) return 8;
    if ((a & reg::kReadModeASkip4) == reg::kReadModeASkip4) return 4;
    if ((b & reg::kReadModeBSkip2) == reg::kReadModeBSkip2) return 2;
    return 1;
}

// Lines (or samples) delivered from a span of `count` sensor lines under sub-sampling.
int SubSampledCount(int count, int divisor) {
    const int group = 2 * divisor;
    return (count / group) * 2 + std::min(count % group, 2);
}

// Bayer site of a sensor position, in the order of the gain table below: G1 on even rows and
// even columns, R on even rows and odd columns, B on odd rows and even columns, G2 on odd/odd.
int SiteOf(int sensorRow, int sensorColumn) {
    return ((sensorRow & 1) << 1) | (sensorColumn & 1);
}

constexpr std::array<uint8_t, 4> kSiteGainRegister = {reg::kGainGreen1, reg::kGainRed,
                                                      reg::kGainBlue, reg::kGainGreen2};

// Per-site lookup from scene level to sample, built once per frame.
using SampleTable = std::array<std::array<uint16_t, 256>, 4>;

SampleTable BuildTable(const ModelState& state) {
    SampleTable table{};
    for (int site = 0; site < 4; ++site) {
        for (int level = 0; level < 256; ++level) {
            table[site][level] =
                static_cast<uint16_t>(ExposedSample(state, level, site >> 1, site & 1));
        }
    }
    return table;
}

// Where each delivered sample of a line comes from, worked out once per frame.
struct ColumnPlan {
    std::vector<int> sensorColumn;
    std::vector<uint8_t> levelTerm;  // the column's share of the scene level
    std::vector<uint8_t> parity;
};

ColumnPlan PlanColumns(const Readout& readout, SceneKind kind) {
    ColumnPlan plan;
    for (int j = 0; j < readout.columns; ++j) {
        const int c = readout.columnStart + SubSampledOffset(j, readout.divisor);
        plan.sensorColumn.push_back(c);
        plan.levelTerm.push_back(kind == SceneKind::Ramp ? uint8_t(c & 0xFF) : 0);
        plan.parity.push_back(uint8_t(c & 1));
    }
    return plan;
}

void Store(uint8_t* line, size_t column, int sample10, int bytesPerSample) {
    if (bytesPerSample == 1) {
        line[column] = static_cast<uint8_t>(sample10 >> 2);
    } else {
        line[2 * column] = static_cast<uint8_t>(sample10);
        line[2 * column + 1] = static_cast<uint8_t>(sample10 >> 8);
    }
}

void RenderRawLine(const RawFrames& raw, const SensorNoise& noise, uint64_t frameNumber,
                   int sensorRow, const ColumnPlan& plan, int bytesPerSample, uint8_t* line) {
    const int r = sensorRow - reg::kRowOffset;
    const size_t frameBase =
        size_t(frameNumber % uint64_t(raw.frameCount)) * RawFrames::kWidth * RawFrames::kHeight;
    for (size_t j = 0; j < plan.sensorColumn.size(); ++j) {
        const int c = plan.sensorColumn[j] - reg::kColumnOffset;
        const bool inside = r >= 0 && r < RawFrames::kHeight && c >= 0 && c < RawFrames::kWidth;
        const int sample =
            inside ? raw.samples[frameBase + size_t(r) * RawFrames::kWidth + size_t(c)] : 0;
        Store(line, j, WithNoise(noise, sample, frameNumber, sensorRow, plan.sensorColumn[j]),
              bytesPerSample);
    }
}

// Synthetic scenes: level = (row term + column term) mod 256, then the site's table.
void RenderSyntheticLine(const SampleTable& table, SceneKind kind, uint64_t frameNumber,
                         int sensorRow, const ColumnPlan& plan, int bytesPerSample, uint8_t* line) {
    const unsigned rowTerm = kind == SceneKind::Ramp
                                 ? unsigned((uint64_t(sensorRow) + 2 * frameNumber) & 0xFF)
                                 : unsigned(kFlatLevel);
    const int rowSite = (sensorRow & 1) << 1;
    const uint16_t* siteTables[2] = {table[rowSite].data(), table[rowSite | 1].data()};
    const size_t columns = plan.sensorColumn.size();
    if (bytesPerSample == 1) {
        for (size_t j = 0; j < columns; ++j) {
            const uint16_t s = siteTables[plan.parity[j]][(rowTerm + plan.levelTerm[j]) & 0xFF];
            line[j] = static_cast<uint8_t>(s >> 2);
        }
        return;
    }
    for (size_t j = 0; j < columns; ++j) {
        const uint16_t s = siteTables[plan.parity[j]][(rowTerm + plan.levelTerm[j]) & 0xFF];
        line[2 * j] = static_cast<uint8_t>(s);
        line[2 * j + 1] = static_cast<uint8_t>(s >> 8);
    }
}

// Every sample from its own definition: the chart, and any scene with noise.
void RenderSceneLine(const SampleTable& table, SceneKind kind, const SensorNoise& noise,
                     uint64_t frameNumber, int sensorRow, const ColumnPlan& plan,
                     int bytesPerSample, uint8_t* line) {
    for (size_t j = 0; j < plan.sensorColumn.size(); ++j) {
        const int column = plan.sensorColumn[j];
        const int level = SceneLevel(kind, sensorRow, column, frameNumber);
        const int sample = table[SiteOf(sensorRow, column)][level];
        Store(line, j, WithNoise(noise, sample, frameNumber, sensorRow, column), bytesPerSample);
    }
}

}  // namespace

int SubSampledOffset(int n, int divisor) {
    return (n / 2) * 2 * divisor + (n % 2);
}

Readout ReadoutOf(const ModelState& state) {
    Readout out;
    out.rowStart = state.sensor[reg::kRowStart];
    out.columnStart = state.sensor[reg::kColumnStart];
    out.divisor = DivisorOf(state);
    out.rows = SubSampledCount(state.sensor[reg::kRowCount] + 1, out.divisor);
    out.columns = SubSampledCount(state.sensor[reg::kColumnCount] + 1, out.divisor);
    out.bytesPerSample = BytesPerSample(state);
    return out;
}

int SceneLevel(SceneKind kind, int sensorRow, int sensorColumn, uint64_t frameNumber) {
    if (kind == SceneKind::Flat) return kFlatLevel;
    if (kind == SceneKind::Chart) {
        const ChartColour colour = ChartColourAt(sensorColumn - reg::kColumnOffset,
                                                 sensorRow - reg::kRowOffset, frameNumber);
        switch (SiteOf(sensorRow, sensorColumn)) {
            case 1:
                return colour.r;
            case 2:
                return colour.b;
            default:
                return colour.g;
        }
    }
    return static_cast<int>((uint64_t(sensorRow) + uint64_t(sensorColumn) + 2 * frameNumber) &
                            0xFF);
}

int ExposedSample(const ModelState& state, int level, int sensorRow, int sensorColumn) {
    const uint64_t shutter = state.sensor[reg::kShutter];
    const uint64_t colourGain =
        state.sensor[kSiteGainRegister[SiteOf(sensorRow, sensorColumn)]] & 0x7F;
    const uint64_t globalGain = state.sensor[reg::kGlobalGain] & 0x7F;
    const uint64_t signal = uint64_t(level) * 4 * shutter * colourGain * globalGain /
                            (kReferenceShutter * kReferenceGain * kReferenceGain);
    return static_cast<int>(std::min<uint64_t>(signal, kMaxSample));
}

void RenderFrame(const ModelState& state, const Scene& scene, uint64_t frameNumber, uint8_t* out,
                 size_t length) {
    const Readout readout = ReadoutOf(state);
    const size_t lineBytes = size_t(readout.columns) * size_t(readout.bytesPerSample);
    const bool raw = scene.kind == SceneKind::Raw && scene.raw && scene.raw->frameCount > 0;
    // A raw scene without frames shows the ramp.
    const SceneKind synthetic = scene.kind == SceneKind::Flat || scene.kind == SceneKind::Chart
                                    ? scene.kind
                                    : SceneKind::Ramp;
    const bool fastLoop = synthetic != SceneKind::Chart && scene.noise.amplitude == 0;
    const ColumnPlan plan = PlanColumns(readout, synthetic);
    const SampleTable table = BuildTable(state);
    std::vector<uint8_t> partial;
    size_t done = 0;
    for (int i = 0; i < readout.rows && done < length && lineBytes > 0; ++i) {
        const int sensorRow = readout.rowStart + SubSampledOffset(i, readout.divisor);
        const bool whole = length - done >= lineBytes;
        if (!whole) partial.resize(lineBytes);
        uint8_t* line = whole ? out + done : partial.data();
        if (raw) {
            RenderRawLine(*scene.raw, scene.noise, frameNumber, sensorRow, plan,
                          readout.bytesPerSample, line);
        } else if (!fastLoop) {
            RenderSceneLine(table, synthetic, scene.noise, frameNumber, sensorRow, plan,
                            readout.bytesPerSample, line);
        } else {
            RenderSyntheticLine(table, synthetic, frameNumber, sensorRow, plan,
                                readout.bytesPerSample, line);
        }
        const size_t n = std::min(lineBytes, length - done);
        if (!whole) std::memcpy(out + done, line, n);
        done += n;
    }
    if (done < length) std::memset(out + done, 0, length - done);
}

void CachedRenderer::Prepare(const ModelState& state, SceneKind kind) {
    const int bytesPerSample = BytesPerSample(state);
    if (prepared_ && kind == kind_ && bytesPerSample == bytesPerSample_ &&
        state.sensor == sensor_) {
        return;
    }
    sensor_ = state.sensor;
    bytesPerSample_ = bytesPerSample;
    kind_ = kind;
    prepared_ = true;
    const Readout readout = ReadoutOf(state);
    lineBytes_ = size_t(readout.columns) * size_t(readout.bytesPerSample);
    lines_.assign(kRowParities * kRowTerms * lineBytes_, 0);
    built_.assign(kRowParities * kRowTerms, false);
}

void CachedRenderer::Render(const ModelState& state, const Scene& scene, uint64_t frameNumber,
                            uint8_t* out, size_t length) {
    const bool cacheable = (scene.kind == SceneKind::Ramp || scene.kind == SceneKind::Flat) &&
                           scene.noise.amplitude == 0;
    if (!cacheable) {
        RenderFrame(state, scene, frameNumber, out, length);
        return;
    }
    Prepare(state, scene.kind);
    const Readout readout = ReadoutOf(state);
    std::optional<ColumnPlan> plan;
    std::optional<SampleTable> table;
    size_t done = 0;
    for (int i = 0; i < readout.rows && done < length && lineBytes_ > 0; ++i) {
        const int sensorRow = readout.rowStart + SubSampledOffset(i, readout.divisor);
        const size_t term = scene.kind == SceneKind::Ramp
                                ? size_t((uint64_t(sensorRow) + 2 * frameNumber) & 0xFF)
                                : size_t(kFlatLevel);
        const size_t index = size_t(sensorRow & 1) * kRowTerms + term;
        uint8_t* line = lines_.data() + index * lineBytes_;
        if (!built_[index]) {
            if (!plan) plan = PlanColumns(readout, scene.kind);
            if (!table) table = BuildTable(state);
            RenderSyntheticLine(*table, scene.kind, frameNumber, sensorRow, *plan,
                                readout.bytesPerSample, line);
            built_[index] = true;
        }
        const size_t n = std::min(lineBytes_, length - done);
        std::memcpy(out + done, line, n);
        done += n;
    }
    if (done < length) std::memset(out + done, 0, length - done);
}

uint64_t FramePeriodMicroseconds(const ModelState& state) {
    const Readout readout = ReadoutOf(state);
    const uint64_t lineClocks = uint64_t(readout.columns) + kLineOverheadClocks;
    const uint64_t windowLines = uint64_t(readout.rows) + state.sensor[reg::kVerticalBlank];
    const uint64_t lines = std::max<uint64_t>(windowLines, state.sensor[reg::kShutter]);
    return lines * lineClocks * 1000000 / PixelClockHz(state);
}

}  // namespace tavlin::vcam
