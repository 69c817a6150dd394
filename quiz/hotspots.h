#pragma once

#include "regions.h"

#include <array>
#include <optional>

namespace quiz {

// One hotspot of the map: the label number (Label1..Label41) and the region it answers for.
// Its reveal phrase is the region's own, from the catalogue.
struct Hotspot
{
    int label;
    RegionNumber region;
};

inline constexpr int kHotspotCount = 41;

// The hotspot table, in the order of the label number.
inline constexpr std::array<Hotspot, kHotspotCount> kHotspots{{
    {1, 1},   {2, 1},   {3, 2},   {4, 2},   {5, 3},   {6, 3},   {7, 4},   {8, 4},   {9, 5},
    {10, 5},  {11, 6},  {12, 6},  {13, 7},  {14, 7},  {15, 8},  {16, 8},  {17, 8},  {18, 9},
    {19, 9},  {20, 10}, {21, 10}, {22, 11}, {23, 11}, {24, 12}, {25, 12}, {26, 13}, {27, 13},
    {28, 14}, {29, 14}, {30, 15}, {31, 15}, {32, 15}, {33, 16}, {34, 16}, {35, 17}, {36, 17},
    {37, 17}, {38, 18}, {39, 18}, {40, 19}, {41, 20},
}};

// The row of a label number, or nothing for a number outside 1..41.
constexpr std::optional<Hotspot> hotspot(int label)
{
    if (label < 1 || label > kHotspotCount)
        return std::nullopt;
    return kHotspots[static_cast<std::size_t>(label - 1)];
}

} // namespace quiz
