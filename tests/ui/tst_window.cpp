// The window as the pupil sees it and plays it: its fonts, the pointers, the menu's commands
// and the exit button, every hotspot of the map on its own region,
// what a click answers, a right answer and the error limit.
// Clicks go to the window as the pupil's mouse would send them; the real message boxes answer.
// CTest runs the pointers and the map once more with the whole window scaled by 2.
#include "quiz/regions.h"
#include "support/messageboxes.h"
#include "support/scriptedrandom.h"
#include "ui/form1.h"

#include <QLabel>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using ui::Form1;

namespace {

QString reveal(int region) { return "Zefirana|" + quiz::region(region)->reveal.toString() + "|none"; }

} // namespace

class TestWindow : public QObject
{
    Q_OBJECT

private:
    template <typename T = QWidget>
    T *find(const char *name) const
    {
        T *w = window_->findChild<T *>(QString::fromLatin1(name));
        return w ? w : (qFatal("no control %s", name), nullptr);
    }
    // Clicks the window at a point of a control, as the pupil's mouse would.
    void click(const char *name, QPoint at = {-1, -1})
    {
        QWidget *w = find(name);
        QTest::mouseClick(window_->windowHandle(), Qt::LeftButton, {},
                          w->mapTo(window_, at.x() < 0 ? w->rect().center() : at));
    }
    QString text(const char *label) const { return find<QLabel>(label)->text(); }

    Form1 *window_ = nullptr;
    MessageBoxes *boxes_ = nullptr;

private slots:
    void initTestCase() { Form1::prepareApplication(); }

    void init()
    {
        // Toscana is asked for at every press of the car.
        auto random = std::make_unique<ScriptedRandom>();
        random->values = {drawFor(2)};
        window_ = new Form1(std::move(random));
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_));
        boxes_ = new MessageBoxes;
    }

    void cleanup()
    {
        delete boxes_;
        delete window_;
    }

    void windowRecord()
    {
        QVERIFY(!window_->windowIcon().isNull());
        QCOMPARE(window_->minimumSize(), window_->maximumSize()); // a fixed window
        // Every text in a font it asks for (the program's own, or the design's where the system has it).
        for (QWidget *w : window_->centralWidget()->findChildren<QWidget *>() + QWidgetList{window_->menuBar()})
            QVERIFY2(w->font().families().contains(QFontInfo(w->font()).family()), qPrintable(w->objectName()));
    }

    void pointerOverEachPart_data()
    {
        QTest::addColumn<QString>("container"); // the point is given in this control's coordinates
        QTest::addColumn<QPoint>("point");
        QTest::addColumn<QString>("picture"); // "" for the ordinary arrow
        QTest::newRow("hotspot Label3 (Toscana)") << "Picture2" << QPoint(200, 200) << "flag";
        QTest::newRow("hotspot Label41 (Valle d'Aosta)") << "Picture2" << QPoint(90, 90) << "flag";
        QTest::newRow("map outside every hotspot") << "Picture2" << QPoint(100, 250) << "globe";
        QTest::newRow("the text box, under the map") << "client" << QPoint(313, 490) << "globe";
        QTest::newRow("window background right of the map") << "client" << QPoint(540, 200) << "winged";
        QTest::newRow("exit button") << "Command3" << QPoint(50, 20) << "stophand";
        QTest::newRow("exit button, over the map's last row") << "client" << QPoint(280, 496) << "stophand";
        QTest::newRow("car button") << "Command2" << QPoint(40, 40) << "";
    }

    void pointerOverEachPart()
    {
        QFETCH(QString, container);
        QFETCH(QPoint, point);
        QFETCH(QString, picture);
        // At double density the pointers are drawn from the @2x pictures.
        const qreal density = qEnvironmentVariable("QT_SCALE_FACTOR", "1").toDouble();
        QCOMPARE(qApp->devicePixelRatio(), density);

        QWidget *owner = window_->childAt(find(qPrintable(container))->mapTo(window_, point));
        QVERIFY(owner);
        // A control without a pointer of its own shows its container's.
        while (!owner->testAttribute(Qt::WA_SetCursor) && owner->parentWidget())
            owner = owner->parentWidget();
        const QCursor cursor = owner->cursor();
        QCOMPARE(cursor.shape(), picture.isEmpty() ? Qt::ArrowCursor : Qt::BitmapCursor);
        if (picture.isEmpty())
            return;
        const QImage expected(":/pictures/" + picture + (density > 1 ? "@2x.png" : ".png"));
        QCOMPARE(cursor.pixmap().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied),
                 expected.convertToFormat(QImage::Format_ARGB32_Premultiplied));
        QCOMPARE(cursor.pixmap().devicePixelRatio(), density);
        // 32 x 32 pixels of the design, the active point at the centre.
        QCOMPARE(cursor.pixmap().deviceIndependentSize(), QSizeF(32, 32));
        QCOMPARE(cursor.hotSpot(), QPoint(16, 16));
    }

    void commands_data()
    {
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<bool>("ends");
        const QString instructions = "Attenzione|La tua gara finisce se superi i 20 errori...|warning";
        QTest::newRow("istruzioni") << QStringList{instructions, instructions} << false;
        QTest::newRow("sotware") << QStringList{} << false;
        QTest::newRow("Esc") << QStringList{} << false;
        QTest::newRow("the frame closed") << QStringList{} << false;
        // The second click reaches the window as it closes: the goodbye is said once, and no later box opens.
        QTest::newRow("Command3") << QStringList{"Zefirana|Ciao ti aspetto per giocare ancora insieme!|none"} << true;
    }

    void commands()
    {
        // Each used twice in the middle of a turn: only "Esci" ends the game; the rest leave it as it was.
        QFETCH(QStringList, boxes);
        QFETCH(bool, ends);
        QSignalSpy ended(window_, &Form1::programEnded);
        click("Command2");
        boxes_->take();
        const QByteArray tag = QTest::currentDataTag();
        for (int i = 0; i < 2; ++i)
            tag == "Command3" ? click(tag.constData()) : tag == "the frame closed" ? void(window_->close())
                                                                      : window_->findChild<QAction *>(tag)->trigger();
        QTest::qWait(30);
        QCOMPARE(boxes_->take(), boxes);
        QCOMPARE(ended.size(), int(ends));
        QCOMPARE(window_->isVisible(), !ends && tag != "the frame closed");
        if (!ends) {
            QCOMPARE(text("lblreg"), "Toscana");
            QVERIFY(find("Command2")->isHidden());
            QCOMPARE(window_->game().errori(), 0);
        }
    }

    void whatAClickAnswers_data()
    {
        QTest::addColumn<QPoint>("press"); // map pixels
        QTest::addColumn<QPoint>("release");
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::addColumn<int>("region"); // 0: no answer at all
        // Where hotspots of two regions overlap, the one the stacking puts on top answers.
        const auto row = [](const char *name, QPoint p, int region) {
            QTest::newRow(name) << p << p << Qt::LeftButton << region;
        };
        row("Valle d'Aosta over Piemonte", QPoint(112, 90), 20);
        row("Basilicata over Puglia", QPoint(384, 312), 16);
        row("Puglia over Molise", QPoint(352, 272), 15);
        row("Puglia over Campania", QPoint(352, 296), 15);
        row("Abruzzo over Lazio", QPoint(288, 264), 12);
        row("Liguria over Piemonte", QPoint(128, 152), 8);
        row("Liguria over Emilia Romagna", QPoint(168, 160), 8);
        row("Veneto over Trentino Alto Adige", QPoint(216, 96), 5);
        row("the sea west of the mainland", QPoint(100, 250), 0);
        const QPoint toscana(200, 200), sea(100, 250);
        QTest::newRow("right button") << toscana << toscana << Qt::RightButton << 0;
        QTest::newRow("middle button") << toscana << toscana << Qt::MiddleButton << 0;
        QTest::newRow("released on another hotspot") << toscana << QPoint(100, 340) << Qt::LeftButton << 0;
        QTest::newRow("pressed on the sea") << sea << toscana << Qt::LeftButton << 0;
    }

    void whatAClickAnswers()
    {
        // Before the first press every hotspot is a wrong answer that names its own region.
        QFETCH(QPoint, press);
        QFETCH(QPoint, release);
        QFETCH(Qt::MouseButton, button);
        QFETCH(int, region);
        QWidget *map = find("Picture2");
        QTest::mousePress(window_->windowHandle(), button, {}, map->mapTo(window_, press));
        QTest::mouseMove(window_->windowHandle(), map->mapTo(window_, release));
        // Released with the left button (then with its own): only a press of the left makes an answer.
        QTest::mouseRelease(window_->windowHandle(), Qt::LeftButton, {}, map->mapTo(window_, release));
        if (button != Qt::LeftButton)
            QTest::mouseRelease(window_->windowHandle(), button, {}, map->mapTo(window_, release));
        QTest::qWait(region ? 0 : 30);
        QCOMPARE(boxes_->take(), region ? QStringList{reveal(region)} : QStringList{});
        QCOMPARE(window_->game().errori(), region ? 1 : 0);
    }

    void everyHotspotOnItsRegion_data()
    {
        QTest::addColumn<int>("label");
        for (int label = 1; label <= 41; ++label)
            QTest::addRow("Label%d", label) << label;
    }

    void everyHotspotOnItsRegion()
    {
        // The window shows the map under the hotspot (from the picture of the screen's density);
        // by the map's own label picture (made with the map from the regions' outlines) most of
        // the land under it is one region's, and a click on its land nearest its centre, where no
        // other hotspot lies over it, answers for that region.
        QFETCH(int, label);
        QWidget *map = find("Picture2"), *spot = map->findChild<QWidget *>(QStringLiteral("Label%1").arg(label));
        const QRect pixels = spot->geometry();
        const int density = qApp->devicePixelRatio() > 1 ? 2 : 1;
        const QImage picture(density > 1 ? ":/pictures/map@2x.jpg" : ":/pictures/map.jpg");
        QCOMPARE(map->grab(pixels).toImage().convertToFormat(QImage::Format_RGB32),
                 picture.copy(QRect(pixels.topLeft() * density, pixels.size() * density)).convertToFormat(QImage::Format_RGB32));
        const QImage regions(qEnvironmentVariable("ZEFIRANA_SOURCE_DIR") + "/resources/map-labels.png");
        QVERIFY(!regions.isNull());
        QPoint at;
        QList<int> land(21);
        for (int y = pixels.top(); y <= pixels.bottom(); ++y)
            for (int x = pixels.left(); x <= pixels.right(); ++x) {
                const int here = qGray(regions.pixel(x, y));
                ++land[here];
                if (here && map->childAt(x, y) == spot
                    && (at.isNull() || (QPoint(x, y) - pixels.center()).manhattanLength() < (at - pixels.center()).manhattanLength()))
                    at = QPoint(x, y);
            }
        const int region = at.isNull() ? 0 : qGray(regions.pixel(at));
        QVERIFY2(region && land[region] >= 0.9 * (pixels.width() * pixels.height() - land[0]),
                 qPrintable(QStringLiteral("region %1 at (%2, %3)").arg(region).arg(at.x()).arg(at.y())));
        click("Picture2", at);
        QCOMPARE(boxes_->take(), QStringList{reveal(region)});
    }

    void aRightAnswerCountsOnceAndTheNextPressAsksAgain()
    {
        // "Esatte" shows it at the next tick and the heading empties; a second press counts
        // nothing by itself and asks again.
        click("Command2");
        click("Picture2", QPoint(200, 200));
        QTRY_COMPARE(text("lblpunti"), "1");
        QCOMPARE(text("lblreg"), "");
        click("Command2");
        const QString prompt = "Zefirana|Clicca sulla Toscana|none";
        QCOMPARE(boxes_->take(), (QStringList{prompt, "Zefirana|Esatto|none", prompt}));
        QCOMPARE(text("lblreg"), "Toscana");
        QCOMPARE(text("lblpunti"), "1");
    }

    void twentyErrorsEndTheGame()
    {
        // Timer1 ticks every 20 ms; once the counters are shown it sleeps until one changes.
        auto *timer = find<QTimer>("Timer1");
        QCOMPARE(timer->interval(), 20);
        QTRY_VERIFY(!timer->isActive());
        QSignalSpy ended(window_, &Form1::programEnded);
        click("Command2");
        for (int i = 0; i < 20; ++i)
            click("Picture2", QPoint(100, 340)); // Sardegna, twenty times
        // The errors woke the timer: it finds the twentieth error and ends the game, once.
        QTRY_COMPARE(ended.size(), 1);
        const QString end = "Fine del gioco|Mi dispiace hai superato la soglia dei 20 errori... "
                            "La tua gara \u00e8 finita|warning";
        QCOMPARE(boxes_->take(), QStringList{"Zefirana|Clicca sulla Toscana|none"} << QStringList(20, reveal(19)) << end);
        QCOMPARE(text("lblerrori"), "20");
        QVERIFY(!window_->isVisible());
    }
};

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
