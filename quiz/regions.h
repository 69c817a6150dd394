#pragma once

#include <QStringView>

#include <array>
#include <cstdint>
#include <optional>

namespace quiz {

// A region number names one entry of the catalogue: 1 to 20. 0 means "none asked yet".
using RegionNumber = std::int16_t;

inline constexpr RegionNumber kFirstRegion = 1;
inline constexpr RegionNumber kRegionCount = 20;

// Every text the game shows or plays for one region, stored whole: no text is
// assembled from a name and an article at run time.
struct Region
{
    RegionNumber number;
    QStringView name;   // shown in lblreg while the region is asked for
    QStringView prompt; // the message box that asks for it
    QStringView cue;    // spoken name, relative to the program folder ('/' separates folders)
    QStringView reveal; // the message box shown when it is clicked while another is asked for
};

// The catalogue, in the order of the region number.
extern const std::array<Region, kRegionCount> kRegions;

// The entry for a region number, or nothing for a number outside 1..20.
std::optional<Region> region(RegionNumber number);

// The praise after a right answer: its text and its spoken cue.
inline constexpr QStringView kPraiseText = u"Esatto";
inline constexpr QStringView kPraiseCue = u"regione/esatto.wav";

} // namespace quiz
