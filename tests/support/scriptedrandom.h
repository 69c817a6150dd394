#pragma once

#include "quiz/randomsource.h"

#include <deque>

// A generator that returns the values it was given, in order (the last one repeats), and counts
// its reseeds.
struct ScriptedRandom final : quiz::RandomSource
{
    std::deque<float> values;
    int reseeds = 0;

    void reseed() override { ++reseeds; }
    float next() override
    {
        const float r = values.front();
        if (values.size() > 1)
            values.pop_front();
        return r;
    }
};

// The draw value that asks for the given region.
inline float drawFor(int region) { return (static_cast<float>(region) - 0.5f) / 20.0f; }
