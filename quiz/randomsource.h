#pragma once

#include <random>

namespace quiz {

// The source of the draw: a single-precision value r with 0 <= r < 1.
class RandomSource
{
public:
    virtual ~RandomSource() = default;
    // Mixes the clock into the generator; called before every draw.
    virtual void reseed() = 0;
    virtual float next() = 0;
};

// The generator of a real game: seeded from the operating system's entropy and the clock,
// so that the sequence differs from one run to the next.
class ClockRandomSource final : public RandomSource
{
public:
    ClockRandomSource();
    void reseed() override;
    float next() override;

private:
    std::mt19937 engine_;
};

} // namespace quiz
