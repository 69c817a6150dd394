// A long game: 100,000 turns with random answers, random clicks between turns, timer ticks
// between clicks and inside open message boxes, and a draw that sometimes returns its edge
// values. After every event the game and what it showed must agree with the rules:
// the region asked for, the counters (never falling, stopping at 32767), the car button,
// the texts and cues, and the end of the game requested once, at the error limit.
#include "quiz/game.h"

#include <QStringList>
#include <QTest>

#include <array>
#include <functional>
#include <random>
#include <vector>

using namespace quiz;

namespace {

// A board that keeps only the latest state of the window and counts the calls.
struct CountingBoard final : Board
{
    QStringList shown; // the texts of the boxes opened since the test last cleared it
    Icon endIcon = Icon::None;
    QString endTitle;
    QString regionName;
    QString right = QStringLiteral("0");
    QString wrong = QStringLiteral("0");
    bool carVisible = true;
    QString cue;
    int messages = 0;
    int endMessages = 0;
    int ends = 0;
    // Runs while a box is open, as the timer does in a real nested event loop.
    std::function<void()> whileOpen;

    void showMessage(QStringView text, Icon i, QStringView t) override
    {
        ++messages;
        shown << text.toString();
        if (text == kEndText) {
            ++endMessages;
            endIcon = i;
            endTitle = t.toString();
        }
        if (whileOpen)
            whileOpen();
    }
    void setRegionName(QStringView name) override { regionName = name.toString(); }
    void setCounters(const QString &r, const QString &w) override
    {
        right = r;
        wrong = w;
    }
    void setCarVisible(bool visible) override { carVisible = visible; }
    void playCue(QStringView relativeName) override { cue = relativeName.toString(); }
    void endProgram() override { ++ends; }
};

// A seeded generator of draw values; now and then one of the edge values a float
// generator can give (0, the largest float below 1, and 1 itself).
struct SeededRandom final : RandomSource
{
    explicit SeededRandom(std::uint32_t seed) : engine(seed) {}
    std::mt19937 engine;
    int reseeds = 0;

    void reseed() override { ++reseeds; }
    float next() override
    {
        static constexpr std::array<float, 3> edges{0.0f, 0.99999994f, 1.0f};
        if (std::uniform_int_distribution<int>(0, 49)(engine) == 0)
            return edges[std::uniform_int_distribution<std::size_t>(0, edges.size() - 1)(engine)];
        return std::uniform_real_distribution<float>(0.0f, 1.0f)(engine);
    }
};

// The labels of each region's hotspots, from the hotspot table.
std::array<std::vector<int>, kRegionCount + 1> labelsByRegion()
{
    std::array<std::vector<int>, kRegionCount + 1> result;
    for (const Hotspot &h : kHotspots)
        result[static_cast<std::size_t>(h.region)].push_back(h.label);
    return result;
}

std::int16_t raisedOnce(std::int16_t value)
{
    return value < kCounterMax ? static_cast<std::int16_t>(value + 1) : kCounterMax;
}

} // namespace

// Fails the test with the turn and the condition that broke, and leaves the lambda.
#define CHECK(condition)                                                                            \
    do {                                                                                            \
        if (!(condition)) {                                                                         \
            QTest::qFail(qPrintable(QStringLiteral("turn %1, event %2: %3").arg(turn).arg(event).arg( \
                             QStringLiteral(#condition))),                                          \
                         __FILE__, __LINE__);                                                       \
            return false;                                                                           \
        }                                                                                           \
    } while (false)

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
    QTest::addColumn<int>("tickPercent");  // how often the timer ticks inside an open box

    QTest::newRow("careful pupil") << std::uint32_t(20240611) << 70 << 30;
    QTest::newRow("guessing pupil") << std::uint32_t(7) << 5 << 60;
}

void TestSoak::longGameKeepsTheRules()
{
    QFETCH(std::uint32_t, seed);
    QFETCH(int, rightPercent);
    QFETCH(int, tickPercent);

    constexpr int kTurns = 100000;
    const auto labels = labelsByRegion();

    CountingBoard board;
    SeededRandom random(seed);
    Game game(board, random);
    std::mt19937 pupil(seed ^ 0x5a5a5a5au);
    auto percent = [&pupil](int p) { return std::uniform_int_distribution<int>(0, 99)(pupil) < p; };
    auto pick = [&pupil](int from, int to) { return std::uniform_int_distribution<int>(from, to)(pupil); };

    int turn = 0;
    long long event = 0;
    // What the rules say the state must be, followed event by event.
    std::int16_t punti = 0;
    std::int16_t errori = 0;
    bool turnOpen = false;
    std::array<int, kRegionCount + 1> drawn{};

    // The timer ticks inside open boxes, as it does in the real nested event loop.
    board.whileOpen = [&] {
        if (percent(tickPercent))
            game.Timer1_Timer();
    };

    // Every event starts here. A tick, nested in a box or not, may end the game only once
    // the wrong answers have reached the limit, and only once; the end message comes first.
    int endsBefore = 0;
    bool endAllowed = false;
    auto begin = [&] {
        ++event;
        board.shown.clear();
        endsBefore = board.ends;
        endAllowed = errori >= kErrorLimit;
    };
    auto endRules = [&]() -> bool {
        CHECK(board.ends <= 1);
        CHECK(board.endMessages == board.ends);
        if (board.ends > endsBefore) {
            CHECK(endAllowed);
            CHECK(board.endIcon == Board::Icon::Warning);
            CHECK(board.endTitle == kEndTitle);
        }
        return true;
    };
    // The first box of an event is its own; any other can only be the end message of a nested tick.
    auto firstShown = [&board]() -> QString {
        for (qsizetype i = 1; i < board.shown.size(); ++i)
            if (board.shown[i] != kEndText)
                return QStringLiteral("<more than one box>");
        return board.shown.value(0);
    };

    auto tick = [&]() -> bool {
        begin();
        game.Timer1_Timer();
        CHECK(board.right == QString::number(game.punti()));
        CHECK(board.wrong == QString::number(game.errori()));
        if (endAllowed)
            CHECK(board.ends == 1); // the end is never skipped, whatever errori has become
        return endRules();
    };

    auto click = [&](int label) -> bool {
        begin();
        const RegionNumber asked = game.numreg();
        const bool carBefore = board.carVisible;
        game.Label_Click(label);
        CHECK(game.numreg() == asked);
        const auto row = hotspot(label);
        if (!row) {
            CHECK(board.shown.isEmpty()); // not a hotspot: nothing happens
        } else if (row->region == asked) {
            if (turnOpen)
                punti = raisedOnce(punti);
            turnOpen = false;
            CHECK(firstShown() == kPraiseText);
            CHECK(board.cue == kPraiseCue);
            CHECK(board.carVisible);
            CHECK(board.regionName.isEmpty());
        } else {
            errori = raisedOnce(errori);
            CHECK(firstShown() == region(row->region)->reveal);
            CHECK(board.carVisible == carBefore);
        }
        CHECK(game.punti() == punti);
        CHECK(game.errori() == errori);
        return endRules();
    };

    auto press = [&]() -> bool {
        begin();
        const std::int64_t giri = game.giri();
        game.Command2_Click();
        const RegionNumber asked = game.numreg();
        CHECK(asked >= kFirstRegion && asked <= kRegionCount);
        ++drawn[static_cast<std::size_t>(asked)];
        turnOpen = true;
        CHECK(game.giri() == giri + 1);
        CHECK(!board.carVisible);
        CHECK(firstShown() == region(asked)->prompt);
        CHECK(board.regionName == region(asked)->name);
        CHECK(board.cue == region(asked)->cue);
        // A press counts nothing; the counters shown at the turn start are the current ones.
        CHECK(game.punti() == punti);
        CHECK(game.errori() == errori);
        CHECK(board.right == QString::number(punti));
        CHECK(board.wrong == QString::number(errori));
        return endRules();
    };

    auto play = [&]() -> bool {
        // Clicks before the first press are wrong answers.
        for (int i = pick(1, 3); i > 0; --i)
            if (!click(pick(1, kHotspotCount)))
                return false;

        for (turn = 1; turn <= kTurns; ++turn) {
            const std::int16_t puntiBefore = game.punti();
            const std::int16_t erroriBefore = game.errori();
            if (!press())
                return false;
            // Answer until the region is found, with ticks and the odd non-hotspot label between.
            while (turnOpen) {
                int label;
                if (percent(rightPercent)) {
                    const auto &own = labels[static_cast<std::size_t>(game.numreg())];
                    label = own[static_cast<std::size_t>(pick(0, int(own.size()) - 1))];
                } else if (percent(2)) {
                    label = percent(50) ? 0 : kHotspotCount + 1;
                } else {
                    label = pick(1, kHotspotCount);
                }
                if (!click(label) || (percent(50) && !tick()))
                    return false;
            }
            // Between turns: sometimes more clicks on the map (right ones count nothing, wrong
            // ones count), then a tick.
            for (int i = percent(20) ? pick(1, 3) : 0; i > 0; --i)
                if (!click(pick(1, kHotspotCount)))
                    return false;
            if (!tick())
                return false;

            CHECK(game.punti() >= puntiBefore && game.errori() >= erroriBefore);
            CHECK(game.punti() <= kCounterMax && game.errori() <= kCounterMax);
        }
        return true;
    };
    if (!play())
        return;

    QCOMPARE(game.giri(), std::int64_t(kTurns));
    QCOMPARE(random.reseeds, kTurns);
    QCOMPARE(board.ends, 1);
    QCOMPARE(board.endMessages, 1);
    // Every turn was won once, so the right answers stopped at the largest counter value.
    QCOMPARE(game.punti(), kCounterMax);
    for (int r = kFirstRegion; r <= kRegionCount; ++r)
        QVERIFY2(drawn[static_cast<std::size_t>(r)] > 0, qPrintable(QStringLiteral("region %1 never drawn").arg(r)));
}

QTEST_APPLESS_MAIN(TestSoak)
#include "tst_soak.moc"
