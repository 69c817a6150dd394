#include "regions.h"

namespace quiz {

const std::array<Region, kRegionCount> kRegions{{
    {1, u"Emilia Romagna", u"Clicca sull'Emilia Romagna", u"regione/emilia.wav", u"Questa \u00e8 l'Emilia Romagna"},
    {2, u"Toscana", u"Clicca sulla Toscana", u"regione/toscana.wav", u"Questa \u00e8 la Toscana"},
    {3, u"Lombardia", u"Clicca sulla Lombardia", u"regione/lombardia.wav", u"Questa \u00e8 la Lombardia"},
    {4, u"Trentino Alto Adige", u"Clicca sul Trentino Alto Adige", u"regione/trentino.wav", u"Questo \u00e8 il Trentino Alto Adige"},
    {5, u"Veneto", u"Clicca sul Veneto", u"regione/veneto.wav", u"Questo \u00e8 il Veneto"},
    {6, u"Friuli Venezia Giulia", u"Clicca sul Friuli Venezia Giulia", u"regione/friuli.wav", u"Questo \u00e8 il Friuli Venezia Giulia"},
    {7, u"Piemonte", u"Clicca sul Piemonte", u"regione/piemonte.wav", u"Questo \u00e8 il Piemonte"},
    {8, u"Liguria", u"Clicca sulla Liguria", u"regione/liguria.wav", u"Questa \u00e8 la Liguria"},
    {9, u"Umbria", u"Clicca sull'Umbria", u"regione/umbria.wav", u"Questa \u00e8 l'Umbria"},
    {10, u"Marche", u"Clicca sulle Marche", u"regione/marche.wav", u"Queste sono le Marche"},
    {11, u"Lazio", u"Clicca sul Lazio", u"regione/lazio.wav", u"Questo \u00e8 il Lazio"},
    {12, u"Abruzzo", u"Clicca sull'Abruzzo", u"regione/abruzzo.wav", u"Questo \u00e8 l'Abruzzo"},
    {13, u"Molise", u"Clicca sul Molise", u"regione/molise.wav", u"Questo \u00e8 il Molise"},
    {14, u"Campania", u"Clicca sulla Campania", u"regione/campania.wav", u"Questa \u00e8 la Campania"},
    {15, u"Puglia", u"Clicca sulla Puglia", u"regione/puglia.wav", u"Questa \u00e8 la Puglia"},
    {16, u"Basilicata", u"Clicca sulla Basilicata", u"regione/basilicata.wav", u"Questa \u00e8 la Basilicata"},
    {17, u"Calabria", u"Clicca sulla Calabria", u"regione/calabria.wav", u"Questa \u00e8 la Calabria"},
    {18, u"Sicilia", u"Clicca sulla Sicilia", u"regione/sicilia.wav", u"Questa \u00e8 la Sicilia"},
    {19, u"Sardegna", u"Clicca sulla Sardegna", u"regione/sardegna.wav", u"Questa \u00e8 la Sardegna"},
    {20, u"Valle d'Aosta", u"Clicca sulla Valle d'Aosta", u"regione/valle.wav", u"Questa \u00e8 la Valle d'Aosta"},
}};

std::optional<Region> region(RegionNumber number)
{
    if (number < kFirstRegion || number > kRegionCount)
        return std::nullopt;
    return kRegions[static_cast<std::size_t>(number - kFirstRegion)];
}

} // namespace quiz
