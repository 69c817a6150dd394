// Playing on the map through the real window: clicks go to the window as the pupil's mouse
// would send them, through the stacking of the controls, and the real message boxes answer.
#include "quiz/regions.h"
#include "support/messageboxes.h"
#include "support/scriptedrandom.h"
#include "ui/form1.h"
#include "ui/hotspotlayout.h"

#include <QLabel>
#include <QSignalSpy>
#include <QTest>

using ui::Form1;

namespace {

const QString kE = QString(QChar(0x00E8));

QString reveal(int region) { return "Zefirana|" + quiz::region(region)->reveal.toString() + "|none"; }
QString prompt(int region) { return "Zefirana|" + quiz::region(region)->prompt.toString() + "|none"; }
const QString kEsatto = "Zefirana|Esatto|none";

} // namespace

class TestPlay : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { Form1::prepareApplication(); }
    void init();
    void cleanup();

    void overlapsAnswerForTheUpperHotspot_data();
    void overlapsAnswerForTheUpperHotspot();
    void everyHotspotCentreAnswersForItsRegion_data();
    void everyHotspotCentreAnswersForItsRegion();
    void theCarButtonCoversTheMap();
    void mapTakesNoClickWhileABoxIsOpen();
    void clickBeforeTheFirstPressCountsAnError();
    void fullTurn();
    void esattoRepeatedCountsNothing();
    void twentyErrorsEndTheGame();

private:
    // Clicks the window at a pixel of the map picture, as the pupil's mouse would.
    void clickMap(QPoint mapPixel);
    void clickWidget(const char *name);
    QString text(const char *label) const { return window_->findChild<QLabel *>(label)->text(); }
    void tick() { window_->Timer1_Timer(); }

    ScriptedRandom *random_ = nullptr;
    Form1 *window_ = nullptr;
    MessageBoxes *boxes_ = nullptr;
};

void TestPlay::init()
{
    auto random = std::make_unique<ScriptedRandom>();
    random_ = random.get();
    random_->values = {drawFor(2)};
    window_ = new Form1(std::move(random));
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_));
    boxes_ = new MessageBoxes;
}

void TestPlay::cleanup()
{
    delete boxes_;
    delete window_;
}

void TestPlay::clickMap(QPoint mapPixel)
{
    QWidget *map = window_->findChild<QWidget *>("Picture2");
    QTest::mouseClick(window_->windowHandle(), Qt::LeftButton, {}, map->mapTo(window_, mapPixel));
}

void TestPlay::clickWidget(const char *name)
{
    QWidget *w = window_->findChild<QWidget *>(name);
    QTest::mouseClick(window_->windowHandle(), Qt::LeftButton, {}, w->mapTo(window_, w->rect().center()));
}

void TestPlay::overlapsAnswerForTheUpperHotspot_data()
{
    QTest::addColumn<QPoint>("pixel");
    QTest::addColumn<int>("region"); // 0: no answer at all
    QTest::newRow("Valle d'Aosta over Piemonte") << QPoint(112, 90) << 20;
    QTest::newRow("Puglia over Campania") << QPoint(352, 296) << 15;
    QTest::newRow("Puglia over Molise") << QPoint(352, 272) << 15;
    QTest::newRow("Liguria over Emilia Romagna") << QPoint(168, 160) << 8;
    QTest::newRow("Liguria over Piemonte") << QPoint(128, 152) << 8;
    QTest::newRow("Veneto over Trentino") << QPoint(216, 96) << 5;
    QTest::newRow("Basilicata over Puglia") << QPoint(384, 312) << 16;
    QTest::newRow("Abruzzo over Lazio") << QPoint(288, 264) << 12;
    QTest::newRow("the sea west of the mainland") << QPoint(100, 250) << 0;
    QTest::newRow("between Sicily's hotspots and Calabria") << QPoint(370, 440) << 0;
}

void TestPlay::overlapsAnswerForTheUpperHotspot()
{
    // Before the first press every hotspot is a wrong answer that names its own region.
    QFETCH(QPoint, pixel);
    QFETCH(int, region);
    clickMap(pixel);
    if (region == 0) {
        QTest::qWait(30);
        QVERIFY(boxes_->seen.isEmpty());
        QCOMPARE(window_->game().errori(), 0);
    } else {
        QCOMPARE(boxes_->take(), QStringList{reveal(region)});
        QCOMPARE(window_->game().errori(), 1);
    }
}

void TestPlay::everyHotspotCentreAnswersForItsRegion_data()
{
    QTest::addColumn<int>("label");
    for (int label = 1; label <= 41; ++label)
        QTest::addRow("Label%d", label) << label;
}

void TestPlay::everyHotspotCentreAnswersForItsRegion()
{
    QFETCH(int, label);
    const int region = quiz::hotspot(label)->region;
    const ui::TwipsRect r = ui::kHotspotRects[static_cast<std::size_t>(label - 1)];
    const QPoint centre((r.left + r.width / 2) / 15, (r.top + r.height / 2) / 15);

    random_->values = {drawFor(region)};
    clickWidget("Command2");
    QCOMPARE(boxes_->take(), QStringList{prompt(region)});
    clickMap(centre);
    QCOMPARE(boxes_->take(), QStringList{kEsatto});
}

void TestPlay::theCarButtonCoversTheMap()
{
    // Wherever the car button stands, it takes the click, never a hotspot beneath.
    QWidget *car = window_->findChild<QWidget *>("Command2");
    for (int y = 0; y < car->height(); y += 4) {
        for (int x = 0; x < car->width(); x += 4) {
            const QPoint p = car->mapTo(window_, QPoint(x, y));
            QCOMPARE(window_->childAt(p), car);
        }
    }
    clickWidget("Command2");
    QCOMPARE(boxes_->take(), QStringList{prompt(2)});
}

void TestPlay::mapTakesNoClickWhileABoxIsOpen()
{
    int triedWhileOpen = 0;
    boxes_->whileOpen = [&](QMessageBox *) {
        if (triedWhileOpen++ == 0)
            clickMap(QPoint(100, 320)); // Sardegna, behind the prompt
    };
    clickWidget("Command2");
    QCOMPARE(boxes_->take(), QStringList{prompt(2)});
    QCOMPARE(window_->game().errori(), 0);
}

void TestPlay::clickBeforeTheFirstPressCountsAnError()
{
    clickMap(QPoint(200, 200)); // Label3: Toscana
    QCOMPARE(boxes_->take(), QStringList{"Zefirana|Questa " + kE + " la Toscana|none"});
    QCOMPARE(text("lblerrori"), "0"); // the counters catch up at the next tick
    tick();
    QCOMPARE(text("lblerrori"), "1");
    QCOMPARE(text("lblpunti"), "0");
}

void TestPlay::fullTurn()
{
    random_->values = {drawFor(8)};
    clickWidget("Command2");
    QCOMPARE(boxes_->take(), QStringList{"Zefirana|Clicca sulla Liguria|none"});
    QCOMPARE(text("lblreg"), "Liguria");
    QVERIFY(window_->findChild<QWidget *>("Command2")->isHidden());

    clickMap(QPoint(200, 200)); // Toscana: wrong
    QCOMPARE(boxes_->take(), QStringList{reveal(2)});
    QCOMPARE(text("lblreg"), "Liguria");
    QVERIFY(window_->findChild<QWidget *>("Command2")->isHidden());

    clickMap(QPoint(140, 165)); // Liguria: right
    QCOMPARE(boxes_->take(), QStringList{kEsatto});
    QVERIFY(window_->findChild<QWidget *>("Command2")->isVisible());
    QCOMPARE(text("lblreg"), "");
    tick();
    QCOMPARE(text("lblpunti"), "1");
    QCOMPARE(text("lblerrori"), "1");
}

void TestPlay::esattoRepeatedCountsNothing()
{
    random_->values = {drawFor(19)};
    clickWidget("Command2");
    for (int i = 0; i < 3; ++i)
        clickMap(QPoint(100, 340)); // Sardegna
    QCOMPARE(boxes_->take(), (QStringList{prompt(19), kEsatto, kEsatto, kEsatto}));
    tick();
    QCOMPARE(text("lblpunti"), "1");
    QCOMPARE(text("lblerrori"), "0");
}

void TestPlay::twentyErrorsEndTheGame()
{
    QSignalSpy ended(window_, &Form1::programEnded);
    clickWidget("Command2"); // Toscana asked
    boxes_->take();
    for (int i = 0; i < 20; ++i)
        clickMap(QPoint(100, 340)); // Sardegna, twenty times
    QCOMPARE(boxes_->take().size(), 20);
    QVERIFY(ended.isEmpty());
    // The real timer finds the twentieth error and ends the game, once.
    QTRY_COMPARE(ended.size(), 1);
    QCOMPARE(boxes_->take(), QStringList{"Fine del gioco|Mi dispiace hai superato la soglia dei 20 errori... La tua gara "
                                         + kE + " finita|warning"});
    QCOMPARE(text("lblerrori"), "20");
    QVERIFY(!window_->isVisible());
    QTest::qWait(60);
    QCOMPARE(ended.size(), 1);
    QVERIFY(boxes_->seen.isEmpty());
}

QTEST_MAIN(TestPlay)
#include "tst_play.moc"
