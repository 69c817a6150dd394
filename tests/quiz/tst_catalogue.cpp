// The region catalogue and the hotspot table: every text exactly as the pupil must read it,
// and every row naming one and the same region in all its columns.
#include "quiz/hotspots.h"
#include "quiz/regions.h"

#include <QTest>

#include <QSet>

#include <map>

using namespace quiz;

class TestCatalogue : public QObject
{
    Q_OBJECT

private slots:
    void texts_data();
    void texts();
    void lookUpCoversExactlyOneToTwenty();
    void hotspotRowsPerRegion();
};

void TestCatalogue::texts_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("prompt");
    QTest::addColumn<QString>("cue");
    QTest::addColumn<QString>("reveal");

    // Written out independently of the program's table, as the pupil must see and hear them.
    const QString e = QString(QChar(0x00E8));
    auto row = [&](int n, const char *name, const char *prompt, const char *cue, const char *reveal) {
        QTest::addRow("%d %s", n, name) << n << QString::fromUtf8(name) << QString::fromUtf8(prompt)
                                        << QString::fromUtf8(cue) << QString::fromUtf8(reveal).replace(u'~', e);
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
}

void TestCatalogue::texts()
{
    QFETCH(int, number);
    QFETCH(QString, name);
    QFETCH(QString, prompt);
    QFETCH(QString, cue);
    QFETCH(QString, reveal);

    const auto entry = region(static_cast<RegionNumber>(number));
    QVERIFY(entry);
    QCOMPARE(entry->number, number);
    QCOMPARE(entry->name.toString(), name);
    QCOMPARE(entry->prompt.toString(), prompt);
    QCOMPARE(entry->cue.toString(), cue);
    QCOMPARE(entry->reveal.toString(), reveal);

    // Plain ASCII but for the e with grave accent of the reveal phrases, which must be that
    // one letter and not a look-alike, a combining accent or a mis-decoded byte pair.
    for (QStringView text : {entry->name, entry->prompt, entry->cue, entry->reveal}) {
        for (QChar c : text)
            QVERIFY2(c.unicode() < 0x80 || c.unicode() == 0x00E8, qPrintable(text.toString()));
    }
    QCOMPARE(entry->reveal.contains(QChar(0x00E8)), number != 10);
}

void TestCatalogue::lookUpCoversExactlyOneToTwenty()
{
    for (int n = -40000; n <= 40000; ++n) {
        const auto number = static_cast<RegionNumber>(n);
        if (number != n)
            continue;
        QCOMPARE(region(number).has_value(), n >= 1 && n <= 20);
    }
    // Every cue names its own file: no two regions share one, and the praise has its own too.
    QSet<QString> cues{kPraiseCue.toString()};
    for (const Region &r : kRegions)
        cues.insert(r.cue.toString());
    QCOMPARE(cues.size(), 21);
}

void TestCatalogue::hotspotRowsPerRegion()
{
    // Liguria, Puglia and Calabria have three hotspots, Sardegna and Valle d'Aosta one,
    // every other region two; labels are numbered in ascending order of region number.
    std::map<int, int> count;
    int previousRegion = 0;
    for (std::size_t i = 0; i < kHotspots.size(); ++i) {
        QCOMPARE(kHotspots[i].label, int(i) + 1);
        QVERIFY(region(kHotspots[i].region));
        QVERIFY(kHotspots[i].region >= previousRegion);
        previousRegion = kHotspots[i].region;
        ++count[kHotspots[i].region];
    }
    QCOMPARE(int(count.size()), 20);
    QVERIFY(!hotspot(0) && !hotspot(42));
    for (const auto &[number, hotspots] : count) {
        const int expected = (number == 8 || number == 15 || number == 17) ? 3
                             : (number == 19 || number == 20)               ? 1
                                                                            : 2;
        QVERIFY2(hotspots == expected, qPrintable(region(number)->name.toString()));
    }
}

QTEST_APPLESS_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
