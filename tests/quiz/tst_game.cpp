// The game through a board that records what it was asked: the phases of a turn, the order of
// the effects inside each handler, the draw, the counters and the error limit.
#include "fakeboard.h"
#include "quiz/game.h"

#include <QTest>

#include <array>
#include <cmath>
#include <limits>

using namespace quiz;

namespace {

const QString kE = QString(QChar(0x00E8));

// A game with its recording board and scripted draw.
struct Table
{
    FakeBoard board;
    ScriptedRandom random;
    Game game{board, random};

    // Presses the car button with the draw set to ask for the given region.
    void ask(int region)
    {
        random.values = {drawFor(region)};
        game.Command2_Click();
    }
    // The label of the first hotspot of a region.
    static int labelOf(int region)
    {
        for (const Hotspot &h : kHotspots)
            if (h.region == region)
                return h.label;
        return 0;
    }
};

} // namespace

class TestGame : public QObject
{
    Q_OBJECT

private slots:
    void startsWithNothingAsked();
    void clickBeforeFirstPressIsAWrongAnswer_data();
    void clickBeforeFirstPressIsAWrongAnswer();
    void pressAnnouncesInOrder_data();
    void pressAnnouncesInOrder();
    void countersShownAtTurnStartAreTheOldOnes();
    void everyHotspotOfTheRegionIsRight();
    void rightAnswerCountsOncePerTurn();
    void wonTurnKeepsTheRegionAndJudgesOthersWrong();
    void pressDoesNotCountARightAnswer();
    void countersStopAtTheirLargestValue();
    void errorLimitEndsTheGameOnce_data();
    void errorLimitEndsTheGameOnce();
    void belowTheLimitTheGameGoesOn();
    void twentyClicksBeforeAnyTurnEndTheGame();
    void drawStaysWithinTheRegions_data();
    void drawStaysWithinTheRegions();
    void drawReseedsBeforeEveryPress();
    void realDrawIsFair();
    void realDrawDiffersBetweenRuns();
};

void TestGame::startsWithNothingAsked()
{
    Table t;
    QCOMPARE(t.game.numreg(), 0);
    QCOMPARE(t.game.punti(), 0);
    QCOMPARE(t.game.errori(), 0);
    QCOMPARE(t.game.giri(), 0);
    t.game.Timer1_Timer();
    QCOMPARE(t.board.take(), QStringList{"counters:0/0"});
}

void TestGame::clickBeforeFirstPressIsAWrongAnswer_data()
{
    QTest::addColumn<int>("label");
    QTest::addColumn<QString>("reveal");
    QTest::newRow("Label3") << 3 << "Questa " + kE + " la Toscana";
    QTest::newRow("Label41") << 41 << "Questa " + kE + " la Valle d'Aosta";
    QTest::newRow("Label20") << 20 << QStringLiteral("Queste sono le Marche");
}

void TestGame::clickBeforeFirstPressIsAWrongAnswer()
{
    // No region has number 0, so before the first press every hotspot is a wrong answer.
    QFETCH(int, label);
    QFETCH(QString, reveal);
    Table t;
    t.game.Label_Click(label);
    QCOMPARE(t.board.take(), QStringList{"message:" + reveal});
    QCOMPARE(t.game.errori(), 1);
    QCOMPARE(t.game.punti(), 0);
}

void TestGame::pressAnnouncesInOrder_data()
{
    QTest::addColumn<int>("region");
    for (const Region &r : kRegions)
        QTest::addRow("%s", qPrintable(r.name.toString())) << int(r.number);
}

void TestGame::pressAnnouncesInOrder()
{
    // lblreg goes blank, the counters are refreshed, the cue starts, the prompt is shown while
    // it speaks, and only once the prompt is closed is the name shown and the car hidden.
    QFETCH(int, region);
    const Region r = *quiz::region(static_cast<RegionNumber>(region));
    Table t;
    t.ask(region);
    QCOMPARE(t.board.take(), (QStringList{
                                 "region:",
                                 "counters:0/0",
                                 "cue:" + r.cue.toString(),
                                 "message:" + r.prompt.toString(),
                                 "region:" + r.name.toString(),
                                 "car:hidden",
                             }));
    QCOMPARE(t.game.numreg(), region);
    QCOMPARE(t.game.giri(), 1);
}

void TestGame::countersShownAtTurnStartAreTheOldOnes()
{
    Table t;
    t.game.Label_Click(5); // an error before the first turn
    t.ask(2);
    t.game.Label_Click(3); // right
    t.board.take();
    t.ask(7);
    QVERIFY(t.board.log.contains("counters:1/1"));
}

void TestGame::everyHotspotOfTheRegionIsRight()
{
    // Hotspots of one region are interchangeable; every other one is wrong and names the region
    // clicked, never the one asked. "Esatto" comes first, the praise is heard once it is closed;
    // a wrong answer plays nothing and leaves the car hidden and lblreg as it was.
    for (const Hotspot &asked : kHotspots) {
        for (const Hotspot &clicked : kHotspots) {
            Table t;
            t.ask(asked.region);
            t.board.take();
            t.game.Label_Click(clicked.label);
            const bool right = clicked.region == asked.region;
            const QStringList expected = right ? QStringList{"message:Esatto", "cue:regione/esatto.wav", "car:shown",
                                                             "region:"}
                                               : QStringList{"message:" + region(clicked.region)->reveal.toString()};
            QVERIFY2(t.board.take() == expected,
                     qPrintable(QStringLiteral("Label%1 with region %2 asked").arg(clicked.label).arg(asked.region)));
            QCOMPARE(t.game.punti(), right ? 1 : 0);
            QCOMPARE(t.game.errori(), right ? 0 : 1);
            QCOMPARE(t.game.numreg(), asked.region); // a right answer does not clear it either
        }
    }
}

void TestGame::rightAnswerCountsOncePerTurn()
{
    Table t;
    t.ask(8);
    for (int label : {15, 16, 17, 15})
        t.game.Label_Click(label);
    QCOMPARE(t.game.punti(), 1);
    // Each repeat still praises and plays the cue.
    QCOMPARE(t.board.log.count("message:Esatto"), 4);
    QCOMPARE(t.board.log.count("cue:regione/esatto.wav"), 4);
    t.ask(8);
    t.game.Label_Click(16);
    QCOMPARE(t.game.punti(), 2);
}

void TestGame::wonTurnKeepsTheRegionAndJudgesOthersWrong()
{
    Table t;
    t.ask(20);
    t.game.Label_Click(41);
    t.board.take();
    t.game.Label_Click(40);
    QCOMPARE(t.board.take(), QStringList{"message:Questa " + kE + " la Sardegna"});
    QCOMPARE(t.game.errori(), 1);
    QCOMPARE(t.game.punti(), 1);
}

void TestGame::pressDoesNotCountARightAnswer()
{
    // The car button is visible before the first turn and after a right answer; pressing it
    // counts nothing by itself. Only the answers do.
    Table t;
    for (int i = 0; i < 3; ++i)
        t.ask(1);
    QCOMPARE(t.game.punti(), 0);
    QCOMPARE(t.game.giri(), 3);
    t.game.Label_Click(2);
    QCOMPARE(t.game.punti(), 1);
    t.game.Timer1_Timer();
    QCOMPARE(t.board.log.last(), QStringLiteral("counters:1/0"));
}

void TestGame::countersStopAtTheirLargestValue()
{
    Table t;
    t.board.recording = false;
    for (int i = 0; i < 32767 + 5; ++i) {
        t.ask(1);
        t.game.Label_Click(1);
        t.game.Label_Click(3);
    }
    t.board.recording = true;
    QCOMPARE(t.game.punti(), kCounterMax);
    QCOMPARE(t.game.errori(), kCounterMax);
    t.game.Timer1_Timer();
    QVERIFY(t.board.log.contains("counters:32767/32767"));
}

void TestGame::errorLimitEndsTheGameOnce_data()
{
    QTest::addColumn<int>("errors");
    QTest::newRow("exactly twenty") << 20;
    QTest::newRow("past twenty before any tick") << 23;
}

void TestGame::errorLimitEndsTheGameOnce()
{
    QFETCH(int, errors);
    Table t;
    for (int i = 0; i < errors; ++i)
        t.game.Label_Click(1);
    t.board.take();
    // Ticks keep arriving while the end box is open: they refresh the counters and nothing more.
    int ticksWhileOpen = 0;
    t.board.whileOpen = [&](QStringView) {
        for (; ticksWhileOpen < 3; ++ticksWhileOpen)
            t.game.Timer1_Timer();
    };
    t.game.Timer1_Timer();
    const QString shown = QString::number(errors);
    QCOMPARE(t.board.take(), (QStringList{
                                 "counters:0/" + shown,
                                 "warning:Fine del gioco:Mi dispiace hai superato la soglia dei 20 errori... "
                                 "La tua gara " + kE + " finita",
                                 "counters:0/" + shown,
                                 "counters:0/" + shown,
                                 "counters:0/" + shown,
                                 "end",
                             }));
}

void TestGame::belowTheLimitTheGameGoesOn()
{
    Table t;
    t.ask(2);
    for (int i = 0; i < 19; ++i)
        t.game.Label_Click(5);
    t.game.Label_Click(3);
    t.board.take();
    t.game.Timer1_Timer();
    QCOMPARE(t.board.take(), QStringList{"counters:1/19"});
}

void TestGame::twentyClicksBeforeAnyTurnEndTheGame()
{
    // The reveal box of the twentieth error is closed before the count rises, so a tick while
    // it is open does not end the game; the first tick after it does.
    Table t;
    for (int i = 0; i < 19; ++i)
        t.game.Label_Click(10);
    t.board.whileOpen = [&](QStringView) { t.game.Timer1_Timer(); };
    t.game.Label_Click(10);
    QVERIFY(!t.board.log.contains("end"));
    t.board.whileOpen = nullptr;
    t.game.Timer1_Timer();
    QCOMPARE(t.board.log.last(), QStringLiteral("end"));
    QCOMPARE(t.game.giri(), 0);
}

void TestGame::drawStaysWithinTheRegions_data()
{
    QTest::addColumn<float>("r");
    QTest::addColumn<int>("expected");
    const float belowOne = std::nextafter(1.0f, 0.0f);
    QTest::newRow("zero") << 0.0f << 1;
    QTest::newRow("smallest positive") << std::numeric_limits<float>::denorm_min() << 1;
    QTest::newRow("just below 1/20") << std::nextafter(0.05f, 0.0f) << 1;
    QTest::newRow("1/20") << 0.05f << 2;
    QTest::newRow("one half") << 0.5f << 11;
    QTest::newRow("0.95") << 0.95f << 20;
    QTest::newRow("largest float below 1") << belowOne << 20;
    // What a faulty generator may return must still name a region.
    QTest::newRow("exactly 1") << 1.0f << 20;
    QTest::newRow("above 1") << 7.5f << 20;
    QTest::newRow("infinity") << std::numeric_limits<float>::infinity() << 20;
    QTest::newRow("negative") << -0.25f << 1;
    QTest::newRow("minus infinity") << -std::numeric_limits<float>::infinity() << 1;
    QTest::newRow("not a number") << std::numeric_limits<float>::quiet_NaN() << 1;
}

void TestGame::drawStaysWithinTheRegions()
{
    QFETCH(float, r);
    QFETCH(int, expected);
    Table t;
    t.random.values = {r};
    t.game.Command2_Click();
    QCOMPARE(t.game.numreg(), expected);
    QVERIFY(t.board.log.contains("message:" + region(static_cast<RegionNumber>(expected))->prompt.toString()));
}

void TestGame::drawReseedsBeforeEveryPress()
{
    Table t;
    t.ask(3);
    t.ask(3); // the same region may come twice in a row
    QCOMPARE(t.random.reseeds, 2);
    QCOMPARE(t.game.numreg(), 3);
}

void TestGame::realDrawIsFair()
{
    // Chi-square over 20 equally likely regions (19 degrees of freedom); 43.8 is the 0.1% point,
    // so a fair draw fails about once in a thousand runs and a biased one fails every time.
    ClockRandomSource random;
    constexpr int kDraws = 60000;
    std::array<int, 21> seen{};
    int repeats = 0;
    int previous = 0;
    for (int i = 0; i < kDraws; ++i) {
        random.reseed();
        const int n = regionFromDraw(random.next());
        QVERIFY(n >= 1 && n <= 20);
        ++seen[static_cast<std::size_t>(n)];
        repeats += n == previous;
        previous = n;
    }
    const double expected = kDraws / 20.0;
    double chiSquare = 0;
    for (int n = 1; n <= 20; ++n)
        chiSquare += (seen[n] - expected) * (seen[n] - expected) / expected;
    QVERIFY2(chiSquare < 43.8, qPrintable(QString::number(chiSquare)));
    // Repeats of the previous region come about once in twenty draws.
    QVERIFY2(repeats > kDraws / 20 * 0.8 && repeats < kDraws / 20 * 1.2, qPrintable(QString::number(repeats)));
}

void TestGame::realDrawDiffersBetweenRuns()
{
    ClockRandomSource first;
    ClockRandomSource second;
    int same = 0;
    for (int i = 0; i < 64; ++i)
        same += regionFromDraw(first.next()) == regionFromDraw(second.next());
    QVERIFY2(same < 32, qPrintable(QString::number(same)));
}

QTEST_APPLESS_MAIN(TestGame)
#include "tst_game.moc"
