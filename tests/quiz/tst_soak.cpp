// A long game: 100,000 turns with random answers, clicks between turns, timer ticks between
// clicks and inside open boxes, and a draw that sometimes returns its edge values. After every
// event the game must agree with a plain count of what the pupil did.
#include "quiz/game.h"

#include <QTest>

#include <functional>
#include <random>
#include <vector>

using namespace quiz;

namespace {

// A board that keeps only what the rules are checked against.
struct CountingBoard final : Board
{
    bool carVisible = true;
    QString right = QStringLiteral("0");
    QString wrong = QStringLiteral("0");
    int ends = 0;
    std::function<void()> whileOpen; // the timer ticks inside open boxes, as in the real event loop

    void showMessage(QStringView, Icon, QStringView) override
    {
        if (whileOpen)
            whileOpen();
    }
    void setRegionName(QStringView) override {}
    void setCounters(const QString &r, const QString &w) override
    {
        right = r;
        wrong = w;
    }
    void setCarVisible(bool visible) override { carVisible = visible; }
    bool ticking = true;
    void setTicking(bool on) override { ticking = on; }
    void playCue(QStringView) override {}
    void endProgram() override { ++ends; }
};

// Seeded draw values; one in fifty is an edge value a float generator can give, 1.0 included.
struct SeededRandom final : RandomSource
{
    explicit SeededRandom(std::uint32_t seed) : engine(seed) {}
    std::mt19937 engine;
    void reseed() override {}
    float next() override
    {
        if (engine() % 50 == 0)
            return std::array{0.0f, 0.99999994f, 1.0f}[engine() % 3];
        return std::uniform_real_distribution<float>(0.0f, 1.0f)(engine);
    }
};

std::int16_t raised(std::int16_t n) { return n < kCounterMax ? std::int16_t(n + 1) : kCounterMax; }

} // namespace

class TestSoak : public QObject
{
    Q_OBJECT

private slots:
    void longGameKeepsTheRules_data();
    void longGameKeepsTheRules();
};

void TestSoak::longGameKeepsTheRules_data()
{
    QTest::addColumn<std::uint32_t>("seed");
    QTest::addColumn<int>("rightPercent"); // how often the pupil aims at the region asked for
    QTest::newRow("careful pupil") << std::uint32_t(20240611) << 70;
    QTest::newRow("guessing pupil") << std::uint32_t(7) << 5;
}

void TestSoak::longGameKeepsTheRules()
{
    QFETCH(std::uint32_t, seed);
    QFETCH(int, rightPercent);

    CountingBoard board;
    SeededRandom random(seed);
    Game game(board, random);
    std::mt19937 pupil(seed ^ 0x5a5a5a5au);
    auto percent = [&](int p) { return int(pupil() % 100) < p; };
    std::array<std::vector<int>, kRegionCount + 1> labels;
    for (const Hotspot &h : kHotspots)
        labels[std::size_t(h.region)].push_back(h.label);

    // What the rules say, counted from what the pupil did.
    std::int16_t punti = 0;
    std::int16_t errori = 0;
    bool turnOpen = false;
    std::array<int, kRegionCount + 1> drawn{};
    board.whileOpen = [&] {
        if (percent(30))
            game.Timer1_Timer();
    };
    auto click = [&](int label) {
        const bool right = hotspot(label)->region == game.numreg();
        if (right && turnOpen)
            punti = raised(punti);
        if (!right)
            errori = raised(errori);
        turnOpen = turnOpen && !right;
        game.Label_Click(label);
    };

    for (int turn = 1; turn <= 100000; ++turn) {
        game.Command2_Click();
        turnOpen = true;
        const int asked = game.numreg();
        QVERIFY2(asked >= 1 && asked <= 20, qPrintable(QString::number(asked)));
        ++drawn[std::size_t(asked)];
        QVERIFY(!board.carVisible);
        while (turnOpen) {
            const auto &own = labels[std::size_t(asked)];
            click(percent(rightPercent) ? own[pupil() % own.size()] : int(pupil() % kHotspotCount) + 1);
            QCOMPARE(board.carVisible, !turnOpen);
            // The timer sleeps only while no tick could show or end anything.
            QVERIFY(board.ticking || (board.right == QString::number(punti) && board.wrong == QString::number(errori)
                                      && (errori < kErrorLimit || board.ends == 1)));
            if (percent(50))
                game.Timer1_Timer();
        }
        if (percent(20)) // after "Esatto": a right click counts nothing, a wrong one counts
            click(int(pupil() % kHotspotCount) + 1);
        game.Timer1_Timer();
        QCOMPARE(game.punti(), punti);
        QCOMPARE(game.errori(), errori);
        QCOMPARE(board.right, QString::number(punti));
        QCOMPARE(board.wrong, QString::number(errori));
        // The end is asked for once, at the first tick that finds 20 errors or more.
        QCOMPARE(board.ends, errori >= kErrorLimit ? 1 : 0);
    }
    QCOMPARE(game.giri(), std::int64_t(100000));
    QCOMPARE(game.punti(), kCounterMax); // every turn was won once: stopped at the largest value
    for (int r = 1; r <= 20; ++r)
        QVERIFY2(drawn[std::size_t(r)] > 4000, qPrintable(QStringLiteral("region %1: %2").arg(r).arg(drawn[r])));
}

QTEST_APPLESS_MAIN(TestSoak)
#include "tst_soak.moc"
