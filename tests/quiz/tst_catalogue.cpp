// The region catalogue: every text exactly as the pupil must read it. (The end-to-end tests read
// their texts from here; which region each hotspot answers for is the window test's.)
#include "quiz/regions.h"

#include <QTest>

using namespace quiz;

class TestCatalogue : public QObject
{
    Q_OBJECT

private slots:
    // Region n is row n of the table, every text exactly as the pupil must read it; there is no
    // region 0 or 21.
    void texts()
    {
        // "~" stands for the e with grave accent, which must be that one letter (U+00E8).
        const auto row = [](int n, const char *name, const char *prompt, const char *cue, const char *reveal) {
            const auto r = region(RegionNumber(n));
            QCOMPARE(r->number, n);
            QCOMPARE(QStringList({r->name.toString(), r->prompt.toString(), r->cue.toString(), r->reveal.toString()}),
                     QString::fromUtf8("%1|%2|%3|%4").arg(name, prompt, cue, reveal).replace(u'~', QChar(0xE8)).split(u'|'));
        };
        row(1, "Emilia Romagna", "Clicca sull'Emilia Romagna", "regione/emilia.wav", "Questa ~ l'Emilia Romagna");
        row(2, "Toscana", "Clicca sulla Toscana", "regione/toscana.wav", "Questa ~ la Toscana");
        row(3, "Lombardia", "Clicca sulla Lombardia", "regione/lombardia.wav", "Questa ~ la Lombardia");
        row(4, "Trentino Alto Adige", "Clicca sul Trentino Alto Adige", "regione/trentino.wav", "Questo ~ il Trentino Alto Adige");
        row(5, "Veneto", "Clicca sul Veneto", "regione/veneto.wav", "Questo ~ il Veneto");
        row(6, "Friuli Venezia Giulia", "Clicca sul Friuli Venezia Giulia", "regione/friuli.wav", "Questo ~ il Friuli Venezia Giulia");
        row(7, "Piemonte", "Clicca sul Piemonte", "regione/piemonte.wav", "Questo ~ il Piemonte");
        row(8, "Liguria", "Clicca sulla Liguria", "regione/liguria.wav", "Questa ~ la Liguria");
        row(9, "Umbria", "Clicca sull'Umbria", "regione/umbria.wav", "Questa ~ l'Umbria");
        row(10, "Marche", "Clicca sulle Marche", "regione/marche.wav", "Queste sono le Marche");
        row(11, "Lazio", "Clicca sul Lazio", "regione/lazio.wav", "Questo ~ il Lazio");
        row(12, "Abruzzo", "Clicca sull'Abruzzo", "regione/abruzzo.wav", "Questo ~ l'Abruzzo");
        row(13, "Molise", "Clicca sul Molise", "regione/molise.wav", "Questo ~ il Molise");
        row(14, "Campania", "Clicca sulla Campania", "regione/campania.wav", "Questa ~ la Campania");
        row(15, "Puglia", "Clicca sulla Puglia", "regione/puglia.wav", "Questa ~ la Puglia");
        row(16, "Basilicata", "Clicca sulla Basilicata", "regione/basilicata.wav", "Questa ~ la Basilicata");
        row(17, "Calabria", "Clicca sulla Calabria", "regione/calabria.wav", "Questa ~ la Calabria");
        row(18, "Sicilia", "Clicca sulla Sicilia", "regione/sicilia.wav", "Questa ~ la Sicilia");
        row(19, "Sardegna", "Clicca sulla Sardegna", "regione/sardegna.wav", "Questa ~ la Sardegna");
        row(20, "Valle d'Aosta", "Clicca sulla Valle d'Aosta", "regione/valle.wav", "Questa ~ la Valle d'Aosta");
        QVERIFY(!region(0) && !region(21));
    }
};

QTEST_APPLESS_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
