// Throughput of the receive path: bytes through CFrameAssembler::OnSerialByte
// into CFrameDecoder, as the user-interface thread runs it for every
// WM_SERIAL_BYTE (the refresh is a counter here). The line itself carries 300
// baud with 9 bits per character: about 33 characters, under 3 frames, per
// second; "x_line" says how many such lines one core could keep up with.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <string>

#include "device/frameassembler.h"
#include "device/framedecoder.h"
#include "tools/frameencoder.h"

namespace {

constexpr double kLineCharsPerSecond = 300.0 / 9.0;

class CNullTimerHost : public ITimerHost {
public:
    UINT SetTimer(UINT id, UINT) override { return id; }
    BOOL KillTimer(UINT) override { return 1; }
};

std::string ValidFrames(int count)
{
    std::mt19937 rng(1);
    auto uniform = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    std::string s;
    for (int i = 0; i < count; ++i) {
        const int flags = uniform(0, 15);
        s += CFrameEncoder::Encode({.serialNumber = uniform(0, 0xFFFF),
                                    .number = uniform(CFrameEncoder::kMinNumber, CFrameEncoder::kMaxNumber),
                                    .valueError = (flags & 1) != 0,
                                    .pascals = (flags & 2) != 0,
                                    .calibrationError = (flags & 4) != 0,
                                    .wholeUnits = (flags & 8) != 0});
    }
    return s;
}

std::string RandomBytes(std::size_t count)
{
    std::mt19937 rng(2);
    std::uniform_int_distribution<int> byte(0, 255);
    std::string s;
    for (std::size_t i = 0; i < count; ++i)
        s.push_back(char(byte(rng)));
    return s;
}

void Receive(benchmark::State& state, const std::string& stream)
{
    CFrameDecoder decoder;
    CNullTimerHost timers;
    std::int64_t frames = 0;
    std::int64_t accepted = 0;
    CFrameAssembler assembler(decoder, timers, [&](int commOk) {
        ++frames;
        accepted += commOk;
    });
    for (auto _ : state) {
        for (char c : stream)
            assembler.OnSerialByte(static_cast<unsigned char>(c));
        benchmark::DoNotOptimize(decoder.m_dValue);
    }
    const auto bytes = std::int64_t(state.iterations()) * std::int64_t(stream.size());
    state.SetBytesProcessed(bytes);
    state.counters["frames"] = benchmark::Counter(double(frames), benchmark::Counter::kIsRate);
    state.counters["accepted"] = benchmark::Counter(double(accepted), benchmark::Counter::kIsRate);
    state.counters["x_line"] = benchmark::Counter(double(bytes) / kLineCharsPerSecond, benchmark::Counter::kIsRate);
}

void BM_ValidFrames(benchmark::State& state)
{
    static const std::string stream = ValidFrames(1000);
    Receive(state, stream);
}

// Uniform random bytes: a carriage return every 256 bytes on average, so long
// frames that fail parity at once, and now and then a thousand-byte run.
void BM_Garbage(benchmark::State& state)
{
    static const std::string stream = RandomBytes(12000);
    Receive(state, stream);
}

}  // namespace

BENCHMARK(BM_ValidFrames);
BENCHMARK(BM_Garbage);

BENCHMARK_MAIN();
