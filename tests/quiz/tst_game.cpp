// The game through a board that writes down what it was asked: the turns (each a script of
// presses, clicks and ticks with what the board must show), the draw, and the real generator's
// fairness; and the rules every row of the region catalogue keeps. (Which region each hotspot
// answers for is the window test's.)
#include "quiz/game.h"
#include "support/scriptedrandom.h"

#include <QRegularExpression>
#include <QSet>
#include <QTest>

#include <cmath>
#include <functional>
#include <limits>

using namespace quiz;
using namespace Qt::StringLiterals;

namespace {

// "~" stands for the e with grave accent, which must be that one letter (U+00E8).
QString text(const char *s) { return QString::fromUtf8(s).replace(u'~', QChar(0x00E8)); }

// A board that writes down, in order, everything the game asked of it: "message:<text>" (a box
// with the application's title), "warning:<title>:<text>", "region:<name>", "counters:<right>/<wrong>", "car:shown",
// "car:hidden", "cue:<relative name>", "end". Like the window's, its timer ticks only while the
// game lets it run.
class FakeBoard final : public Board
{
public:
    QStringList log;
    std::function<void()> whileOpen; // runs while a message box is open, before it is closed
    bool ticking = true;

    void showMessage(QStringView text, Icon icon, QStringView title) override
    {
        log << (icon == Icon::Warning ? u"warning:%1:%2"_s.arg(title, text) : u"message:%1"_s.arg(text));
        if (whileOpen)
            whileOpen();
    }
    void setRegionName(QStringView name) override { log << u"region:%1"_s.arg(name); }
    void setCounters(const QString &right, const QString &wrong) override { log << u"counters:"_s + right + u'/' + wrong; }
    void setCarVisible(bool visible) override { log << (visible ? u"car:shown"_s : u"car:hidden"_s); }
    void playCue(QStringView relativeName) override { log << u"cue:%1"_s.arg(relativeName); }
    void endProgram() override { log << u"end"_s; }
    void setTicking(bool on) override { ticking = on; }
};

} // namespace

class TestGame : public QObject
{
    Q_OBJECT

private slots:
    void turns_data()
    {
        // A script: "pN" presses the car with the draw asking for region N, "cN" clicks LabelN,
        // "t" is a tick of the timer (none while it sleeps), "wN" makes every box opened from then
        // on stay open for N ticks' time,
        // "x" forgets what the board was asked so far; "*K" repeats a step K times.
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("board");  // what the board was asked after the last "x"
        QTest::addColumn<QString>("counts"); // punti/errori/giri, the region asked, reseeds of the draw
        const QString esatto = "message:Esatto | cue:regione/esatto.wav | car:shown | region:";
        const QString end = text("warning:Fine del gioco:Mi dispiace hai superato la soglia dei 20 errori... La tua gara ~ finita");
        QTest::newRow("a tick in a new game") << "t" << "counters:0/0" << "0/0/0 n0 r0";
        QTest::newRow("a click before the first press is wrong") << "c3" << text("message:Questa ~ la Toscana") << "0/1/0 n0 r0";
        QTest::newRow("a wrong answer names the region clicked") << "p2 x c5" << text("message:Questa ~ la Lombardia") << "0/1/1 n2 r1";
        QTest::newRow("Esatto again counts nothing") << "p8 c15 x c16 c15" << esatto + " | " + esatto << "1/0/1 n8 r1";
        QTest::newRow("the last region, then another is wrong")
            << "p20 c41 x c40" << text("message:Questa ~ la Sardegna") << "1/1/1 n20 r1";
        QTest::newRow("a press counts nothing by itself") << "p1*3 t x c2 t" << esatto + " | counters:1/0" << "1/0/3 n1 r3";
        QTest::newRow("a turn starts with the counters as they were")
            << "c5 p2 c3 x p7"
            << "region: | counters:1/1 | cue:regione/piemonte.wav | message:Clicca sul Piemonte | region:Piemonte | car:hidden"
            << "1/1/2 n7 r2";
        QTest::newRow("the same region may come twice") << "p3 p3 x" << "" << "0/0/2 n3 r2";
        QTest::newRow("the counters stop at 32767") << "p1+c1+c3*32772 x t" << "counters:32767/32767 | " + end + " | end" << "32767/32767/32772 n1 r32772";
        QTest::newRow("19 errors") << "p2 c5*19 c3 x t" << "counters:1/19" << "1/19/1 n2 r1";
        // The timer sleeps from the tick that shows the end message: it is shown once.
        QTest::newRow("20 errors end the game once") << "c1*20 x w3 t" << "counters:0/20 | " + end + " | end" << "0/20/0 n0 r0";
        QTest::newRow("more than 20 before a tick") << "c1*23 x w1 t" << "counters:0/23 | " + end + " | end" << "0/23/0 n0 r0";
        // The twentieth error, then a press before the next tick: the end comes over the prompt.
        QTest::newRow("the end comes while the prompt is open")
            << "c1*20 x w1 p3"
            << "region: | counters:0/20 | cue:regione/lombardia.wav | message:Clicca sulla Lombardia | counters:0/20 | "
                   + end + " | end | region:Lombardia | car:hidden"
            << "0/20/1 n3 r1";
        // The twentieth error counts once its box is closed: a tick while it is open goes on.
        QTest::newRow("the 20th error's box")
            << "c20*19 x w1 c20 w0 t"
            << "message:Queste sono le Marche | counters:0/19 | counters:0/20 | " + end + " | end" << "0/20/0 n0 r0";
    }

    void turns()
    {
        QFETCH(QString, script);
        QFETCH(QString, board);
        QFETCH(QString, counts);

        FakeBoard b;
        ScriptedRandom random;
        Game game(b, random);
        int ticksInBoxes = 0;
        const auto tick = [&] {
            if (b.ticking)
                game.Timer1_Timer();
        };
        b.whileOpen = [&] {
            for (int i = 0; i < ticksInBoxes; ++i)
                tick();
        };
        for (const QString &step : script.split(u' ', Qt::SkipEmptyParts)) {
            const QStringList repeated = step.split(u'*');
            for (int k = 0; k < (repeated.size() > 1 ? repeated[1].toInt() : 1); ++k)
                for (const QString &event : repeated[0].split(u'+')) {
                    const int n = event.mid(1).toInt();
                    switch (event[0].unicode()) {
                    case 'p': random.values = {drawFor(n)}; game.Command2_Click(); break;
                    case 'c': game.Label_Click(n); break;
                    case 't': tick(); break;
                    case 'w': ticksInBoxes = n; break;
                    case 'x': b.log.clear(); break;
                    default: QFAIL(qPrintable("unknown step " + event));
                    }
                }
        }
        QCOMPARE(b.log.join(" | "), board);
        QCOMPARE(QStringLiteral("%1/%2/%3 n%4 r%5").arg(game.punti()).arg(game.errori()).arg(game.giri())
                     .arg(game.numreg()).arg(random.reseeds), counts);
    }

    // Each row names one region in every column: the prompt and the reveal end with the name as
    // shown, their articles agree, and the cue is the lower-cased first word of the name, no two
    // alike. The names are plain ASCII, so the one letter outside it is the reveals' e with grave
    // accent (U+00E8). Region n is row n; there is no region 0 or 21.
    void catalogue()
    {
        // A reveal's article, and at the same place the prompt's.
        const QStringList reveals{"Questa \u00e8 la ", "Questo \u00e8 il ", "Questa \u00e8 l'", "Questo \u00e8 l'",
                                  "Queste sono le "};
        const QStringList prompts{"sulla ", "sul ", "sull'", "sull'", "sulle "};
        QSet<QString> cues{kPraiseCue.toString()};
        for (RegionNumber n = kFirstRegion; n <= kRegionCount; ++n) {
            const Region r = *region(n);
            const QString name = r.name.toString(), reveal = r.reveal.toString();
            QCOMPARE(r.number, n);
            QVERIFY2(QRegularExpression("^[A-Z][A-Za-z' ]*[a-z]$").match(name).hasMatch(), qPrintable(name));
            const qsizetype article = reveals.indexOf(reveal.chopped(name.size()));
            QVERIFY2(reveal.endsWith(name) && article >= 0, qPrintable(reveal));
            QCOMPARE(r.prompt.toString(), "Clicca " + prompts[article] + name);
            QCOMPARE(r.cue.toString(), "regione/" + name.section(u' ', 0, 0).toLower() + ".wav");
            cues.insert(r.cue.toString());
        }
        QCOMPARE(cues.size(), kRegionCount + 1);
        QVERIFY(!region(0) && !region(21));
    }

    // The region a value of the draw names; what a faulty generator may return (1, the infinities,
    // NaN, a negative value) must still name one.
    void draw()
    {
        const float inf = std::numeric_limits<float>::infinity();
        const std::pair<float, int> draws[] = {{0.0f, 1}, {std::nextafter(0.05f, 0.0f), 1}, {0.05f, 2}, {0.5f, 11},
                                               {std::nextafter(1.0f, 0.0f), 20}, {1.0f, 20}, {inf, 20}, {-0.25f, 1},
                                               {-inf, 1}, {std::numeric_limits<float>::quiet_NaN(), 1}};
        for (const auto &[r, expected] : draws)
            QVERIFY2(regionFromDraw(r) == expected, qPrintable(QString::number(r)));
    }

    // Chi-square over 20 equally likely regions, 19 degrees of freedom: a fair draw exceeds 70 with
    // probability 9.2e-8 (the upper regularized incomplete gamma Q(9.5, 35)), so it fails less than
    // once in ten million runs. A region never drawn alone adds 3000 (at least 3158 in all), so it
    // fails every time. Repeats of the previous region come about once in twenty draws (the bound
    // is 11 standard deviations), and two runs of the game do not draw alike.
    void realDrawIsFairAndDiffersBetweenRuns()
    {
        ClockRandomSource random, other;
        constexpr int kDraws = 60000;
        std::array<int, 21> seen{};
        int repeats = 0, previous = 0, same = 0;
        for (int i = 0; i < kDraws; ++i) {
            random.reseed();
            const int n = regionFromDraw(random.next());
            ++seen[std::size_t(n)];
            repeats += n == std::exchange(previous, n);
            if (i < 64) // a second run of the game, drawing as the game does
                other.reseed(), same += regionFromDraw(other.next()) == n;
        }
        double chiSquare = 0;
        for (int n = 1; n <= 20; ++n)
            chiSquare += std::pow(seen[std::size_t(n)] - kDraws / 20.0, 2) / (kDraws / 20.0);
        QVERIFY2(seen[0] == 0 && chiSquare < 70, qPrintable(QString::number(chiSquare)));
        QVERIFY2(std::abs(repeats - kDraws / 20) < kDraws / 100, qPrintable(QString::number(repeats)));
        QVERIFY2(same < 32, qPrintable(QString::number(same)));
    }
};

QTEST_APPLESS_MAIN(TestGame)
#include "tst_game.moc"
