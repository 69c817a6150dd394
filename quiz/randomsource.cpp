#include "randomsource.h"

#include <chrono>
#include <cstdint>

namespace quiz {

namespace {

std::uint32_t clockTicks()
{
    const auto ticks = std::chrono::high_resolution_clock::now().time_since_epoch().count();
    return static_cast<std::uint32_t>(ticks ^ (ticks >> 32));
}

} // namespace

ClockRandomSource::ClockRandomSource()
{
    std::random_device entropy;
    std::seed_seq seed{entropy(), entropy(), clockTicks()};
    engine_.seed(seed);
}

void ClockRandomSource::reseed()
{
    // Mixing the clock into the running state keeps the draws uniform: reseeding from the
    // clock alone would repeat a region whenever two presses fall within one clock step.
    std::seed_seq seed{static_cast<std::uint32_t>(engine_()), static_cast<std::uint32_t>(engine_()), clockTicks()};
    engine_.seed(seed);
}

float ClockRandomSource::next()
{
    // 24 random bits make every float of [0, 1) on a grid of 2^-24 equally likely; 1 is never reached.
    constexpr float kScale = 1.0f / 16777216.0f;
    return static_cast<float>(engine_() >> 8) * kScale;
}

} // namespace quiz
