#pragma once

#include <array>

namespace ui {

// A rectangle of the window design, in twips (1/1440 inch, 15 to a pixel at 96 dpi),
// relative to the top-left corner of its container's inner area.
struct TwipsRect
{
    int left;
    int top;
    int width;
    int height;
};

// The rectangles of the hotspots Label1..Label41 inside the map box, indexed by label number - 1.
// The map picture lies at the same corner at its natural size, so map pixel (x, y) is under
// the twips point (15x, 15y).
inline constexpr std::array<TwipsRect, 41> kHotspotRects{{
    {2520, 2040, 735, 375},  // Label1  Emilia Romagna
    {3240, 2160, 495, 375},  // Label2  Emilia Romagna
    {2640, 2760, 855, 735},  // Label3  Toscana
    {2880, 2640, 495, 615},  // Label4  Toscana
    {2160, 1320, 735, 615},  // Label5  Lombardia
    {2280, 1080, 615, 495},  // Label6  Lombardia
    {3000, 840, 255, 615},   // Label7  Trentino Alto Adige
    {3240, 720, 255, 615},   // Label8  Trentino Alto Adige
    {3600, 1200, 255, 495},  // Label9  Veneto
    {3240, 1440, 495, 495},  // Label10 Veneto
    {3960, 960, 135, 375},   // Label11 Friuli Venezia Giulia
    {4080, 960, 255, 495},   // Label12 Friuli Venezia Giulia
    {1680, 1200, 255, 1095}, // Label13 Piemonte
    {1200, 1800, 495, 615},  // Label14 Piemonte
    {1440, 2520, 375, 375},  // Label15 Liguria
    {1800, 2400, 735, 255},  // Label16 Liguria
    {1920, 2280, 495, 135},  // Label17 Liguria
    {3720, 3000, 255, 495},  // Label18 Umbria
    {3840, 3360, 255, 255},  // Label19 Umbria
    {4080, 2760, 255, 495},  // Label20 Marche
    {4200, 3000, 375, 375},  // Label21 Marche
    {3480, 3720, 615, 375},  // Label22 Lazio
    {3960, 3960, 375, 495},  // Label23 Lazio
    {4320, 3480, 375, 255},  // Label24 Abruzzo
    {4320, 3720, 615, 255},  // Label25 Abruzzo
    {4680, 4080, 495, 255},  // Label26 Molise
    {5040, 3840, 255, 255},  // Label27 Molise
    {4800, 4440, 495, 495},  // Label28 Campania
    {5160, 4680, 255, 495},  // Label29 Campania
    {5280, 4080, 375, 375},  // Label30 Puglia
    {5760, 4320, 495, 375},  // Label31 Puglia
    {6240, 4680, 735, 375},  // Label32 Puglia
    {5640, 4680, 135, 375},  // Label33 Basilicata
    {5760, 4800, 375, 255},  // Label34 Basilicata
    {5760, 5280, 255, 615},  // Label35 Calabria
    {5760, 6000, 375, 495},  // Label36 Calabria
    {6000, 5520, 375, 375},  // Label37 Calabria
    {4080, 6480, 1335, 375}, // Label38 Sicilia
    {4560, 6840, 975, 495},  // Label39 Sicilia
    {1320, 4560, 615, 1335}, // Label40 Sardegna
    {1080, 1200, 615, 375},  // Label41 Valle d'Aosta
}};

// The hotspots' stacking order, topmost first: where two overlap, the earlier one takes the click.
inline constexpr std::array<int, 41> kHotspotStacking{
    41, 40, 39, 38, 37, 36, 35, 34, 33, 32, 31, 30, 29, 27, 26, 25, 24, 23, 22, 21, 20,
    19, 18, 17, 16, 15, 14, 13, 12, 11, 10, 9,  8,  7,  5,  4,  3,  2,  1,  28, 6,
};

} // namespace ui
