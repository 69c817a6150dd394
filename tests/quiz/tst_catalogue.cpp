// The region catalogue: the rules every row keeps, and the order of the regions. (Which region
// each hotspot answers for is the window test's.)
#include "quiz/regions.h"

#include <QRegularExpression>
#include <QSet>
#include <QTest>

using namespace quiz;

class TestCatalogue : public QObject
{
    Q_OBJECT

private slots:
    // Each row names one region in every column: the prompt and the reveal end with the name as
    // shown, their articles agree, and the cue is the lower-cased first word of the name, no two
    // alike. The names are plain ASCII, so the one letter outside it is the reveals' e with grave
    // accent (U+00E8). Region n is row n; there is no region 0 or 21.
    void everyRowNamesOneRegion()
    {
        // A reveal's article, and at the same place the prompt's.
        const QStringList reveals{"Questa \u00e8 la ", "Questo \u00e8 il ", "Questa \u00e8 l'", "Questo \u00e8 l'",
                                  "Queste sono le "};
        const QStringList prompts{"sulla ", "sul ", "sull'", "sull'", "sulle "};
        QStringList names;
        QSet<QString> cues{kPraiseCue.toString()};
        for (RegionNumber n = kFirstRegion; n <= kRegionCount; ++n) {
            const Region r = *region(n);
            const QString name = r.name.toString(), reveal = r.reveal.toString();
            names << name;
            QCOMPARE(r.number, n);
            QVERIFY2(QRegularExpression("^[A-Z][A-Za-z' ]*[a-z]$").match(name).hasMatch(), qPrintable(name));
            const qsizetype article = reveals.indexOf(reveal.chopped(name.size()));
            QVERIFY2(reveal.endsWith(name) && article >= 0, qPrintable(reveal));
            QCOMPARE(r.prompt.toString(), "Clicca " + prompts[article] + name);
            QCOMPARE(r.cue.toString(), "regione/" + name.section(u' ', 0, 0).toLower() + ".wav");
            cues.insert(r.cue.toString());
        }
        QCOMPARE(cues.size(), kRegionCount + 1);
        QCOMPARE(names.join(u','), "Emilia Romagna,Toscana,Lombardia,Trentino Alto Adige,Veneto,Friuli Venezia Giulia,"
                                   "Piemonte,Liguria,Umbria,Marche,Lazio,Abruzzo,Molise,Campania,Puglia,Basilicata,"
                                   "Calabria,Sicilia,Sardegna,Valle d'Aosta");
        QVERIFY(!region(0) && !region(21));
    }
};

QTEST_APPLESS_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
