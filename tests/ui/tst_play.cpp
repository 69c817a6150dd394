// Playing on the map through the real window: clicks go to the window as the pupil's mouse
// would send them, through the stacking of the controls, and the real message boxes answer.
#include "quiz/regions.h"
#include "support/messageboxes.h"
#include "support/scriptedrandom.h"
#include "ui/form1.h"

#include <QLabel>
#include <QSignalSpy>
#include <QTest>

using ui::Form1;

namespace {

const QString kE = QString(QChar(0x00E8));

QString reveal(int region) { return "Zefirana|" + quiz::region(region)->reveal.toString() + "|none"; }
QString prompt(int region) { return "Zefirana|" + quiz::region(region)->prompt.toString() + "|none"; }
const QString kEsatto = "Zefirana|Esatto|none";

// The hotspots Label1..Label41 as designed: region, then Left, Top, Width, Height in twips.
constexpr int kDesign[41][5] = {
    {1, 2520, 2040, 735, 375}, {1, 3240, 2160, 495, 375}, {2, 2640, 2760, 855, 735}, {2, 2880, 2640, 495, 615},
    {3, 2160, 1320, 735, 615}, {3, 2280, 1080, 615, 495}, {4, 3000, 840, 255, 615}, {4, 3240, 720, 255, 615},
    {5, 3600, 1200, 255, 495}, {5, 3240, 1440, 495, 495}, {6, 3960, 960, 135, 375}, {6, 4080, 960, 255, 495},
    {7, 1680, 1200, 255, 1095}, {7, 1200, 1800, 495, 615}, {8, 1440, 2520, 375, 375}, {8, 1800, 2400, 735, 255},
    {8, 1920, 2280, 495, 135}, {9, 3720, 3000, 255, 495}, {9, 3840, 3360, 255, 255}, {10, 4080, 2760, 255, 495},
    {10, 4200, 3000, 375, 375}, {11, 3480, 3720, 615, 375}, {11, 3960, 3960, 375, 495}, {12, 4320, 3480, 375, 255},
    {12, 4320, 3720, 615, 255}, {13, 4680, 4080, 495, 255}, {13, 5040, 3840, 255, 255}, {14, 4800, 4440, 495, 495},
    {14, 5160, 4680, 255, 495}, {15, 5280, 4080, 375, 375}, {15, 5760, 4320, 495, 375}, {15, 6240, 4680, 735, 375},
    {16, 5640, 4680, 135, 375}, {16, 5760, 4800, 375, 255}, {17, 5760, 5280, 255, 615}, {17, 5760, 6000, 375, 495},
    {17, 6000, 5520, 375, 375}, {18, 4080, 6480, 1335, 375}, {18, 4560, 6840, 975, 495}, {19, 1320, 4560, 615, 1335},
    {20, 1080, 1200, 615, 375},
};

} // namespace

class TestPlay : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { Form1::prepareApplication(); }
    void init();
    void cleanup();

    void whatAClickAnswers_data();
    void whatAClickAnswers();
    void everyHotspotAsDesigned_data();
    void everyHotspotAsDesigned();
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

void TestPlay::whatAClickAnswers_data()
{
    QTest::addColumn<QPoint>("press"); // map pixels
    QTest::addColumn<QPoint>("release");
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<int>("region"); // 0: no answer at all
    const auto click = [](const char *name, QPoint p, int region) {
        QTest::newRow(name) << p << p << Qt::LeftButton << region;
    };
    click("Valle d'Aosta over Piemonte", QPoint(112, 90), 20);
    click("Puglia over Campania", QPoint(352, 296), 15);
    click("Puglia over Molise", QPoint(352, 272), 15);
    click("Liguria over Emilia Romagna", QPoint(168, 160), 8);
    click("Liguria over Piemonte", QPoint(128, 152), 8);
    click("Veneto over Trentino", QPoint(216, 96), 5);
    click("Basilicata over Puglia", QPoint(384, 312), 16);
    click("Abruzzo over Lazio", QPoint(288, 264), 12);
    click("the sea west of the mainland", QPoint(100, 250), 0);
    click("between Sicily's hotspots and Calabria", QPoint(370, 440), 0);
    const QPoint toscana(200, 200);
    QTest::newRow("right button") << toscana << toscana << Qt::RightButton << 0;
    QTest::newRow("middle button") << toscana << toscana << Qt::MiddleButton << 0;
    QTest::newRow("released on another hotspot") << toscana << QPoint(100, 340) << Qt::LeftButton << 0;
    QTest::newRow("released on the sea") << toscana << QPoint(100, 250) << Qt::LeftButton << 0;
    QTest::newRow("pressed on the sea") << QPoint(100, 250) << toscana << Qt::LeftButton << 0;
}

void TestPlay::whatAClickAnswers()
{
    // Before the first press every hotspot is a wrong answer that names its own region.
    QFETCH(QPoint, press);
    QFETCH(QPoint, release);
    QFETCH(Qt::MouseButton, button);
    QFETCH(int, region);
    QWidget *map = window_->findChild<QWidget *>("Picture2");
    QTest::mousePress(window_->windowHandle(), button, {}, map->mapTo(window_, press));
    QTest::mouseMove(window_->windowHandle(), map->mapTo(window_, release));
    QTest::mouseRelease(window_->windowHandle(), button, {}, map->mapTo(window_, release));
    if (region == 0) {
        QTest::qWait(30);
        QVERIFY(boxes_->seen.isEmpty());
        QCOMPARE(window_->game().errori(), 0);
    } else {
        QCOMPARE(boxes_->take(), QStringList{reveal(region)});
        QCOMPARE(window_->game().errori(), 1);
    }
}

void TestPlay::everyHotspotAsDesigned_data()
{
    QTest::addColumn<int>("label");
    for (int label = 1; label <= 41; ++label)
        QTest::addRow("Label%d", label) << label;
}

void TestPlay::everyHotspotAsDesigned()
{
    // In its rectangle, over the very map pixels of the design, it answers for its region.
    QFETCH(int, label);
    const int *design = kDesign[label - 1];
    const QRect pixels(design[1] / 15, design[2] / 15, design[3] / 15, design[4] / 15);
    QWidget *map = window_->findChild<QWidget *>("Picture2");
    QWidget *hotspot = map->findChild<QWidget *>(QStringLiteral("Label%1").arg(label));
    QVERIFY(hotspot);
    QCOMPARE(hotspot->geometry(), pixels);
    const QImage shown = map->grab(pixels).toImage().convertToFormat(QImage::Format_RGB32);
    const QImage picture = QImage(":/pictures/map.jpg").copy(pixels).convertToFormat(QImage::Format_RGB32);
    QCOMPARE(shown, picture);

    random_->values = {drawFor(design[0])};
    clickWidget("Command2");
    QCOMPARE(boxes_->take(), QStringList{prompt(design[0])});
    clickMap(pixels.center());
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
