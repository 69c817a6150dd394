// The window as the pupil sees it and plays it: every control at its place with its texts,
// colours and fonts, the stacking and tab order, the menu bar, the hotspots of the map against the
// design, what a click answers, the error limit, and Timer1 asleep while nothing could change.
// Clicks go to the window as the pupil's mouse would send them; the real message boxes answer.
#include "quiz/regions.h"
#include "support/messageboxes.h"
#include "support/scriptedrandom.h"
#include "ui/form1.h"

#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using ui::Form1;

namespace {

const QString kE = QString(QChar(0x00E8));
QString reveal(int region) { return "Zefirana|" + quiz::region(region)->reveal.toString() + "|none"; }
QString prompt(int region) { return "Zefirana|" + quiz::region(region)->prompt.toString() + "|none"; }

QRect twips(int left, int top, int width, int height) { return QRect(left / 15, top / 15, width / 15, height / 15); }

QStringList childOrder(QWidget *container)
{
    // Children are kept bottom-most first; the stacking the pupil sees is the reverse.
    QStringList names;
    for (QObject *child : container->children())
        if (auto *w = qobject_cast<QWidget *>(child); w && !w->isWindow())
            names.prepend(w->objectName());
    return names;
}

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

// Counts the paint events of every widget.
class PaintCounter final : public QObject
{
public:
    QStringList painted;

    PaintCounter() { qApp->installEventFilter(this); }
    ~PaintCounter() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && watched->isWidgetType())
            painted << watched->objectName() + u'/' + QString::fromLatin1(watched->metaObject()->className());
        return false;
    }
};

} // namespace

class TestWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { Form1::prepareApplication(); }
    void init();
    void cleanup();

    void windowRecord();
    void controls_data();
    void controls();
    void pictureButtonsInTheirColours_data();
    void pictureButtonsInTheirColours();
    void stackingOrder();
    void tabOrderFromTheFirstFocus();
    void menuBar();
    void menuEntries_data();
    void menuEntries();
    void timerTicksEveryTwentyMilliseconds();
    void whatAClickAnswers_data();
    void whatAClickAnswers();
    void everyHotspotAsDesigned_data();
    void everyHotspotAsDesigned();
    void mapTakesNoClickWhileABoxIsOpen();
    void twentyErrorsEndTheGame();
    void timerSleepsUntilACounterChanges_data();
    void timerSleepsUntilACounterChanges();

private:
    template <typename T = QWidget>
    T *find(const char *name) const
    {
        T *w = window_->findChild<T *>(QString::fromLatin1(name));
        if (!w)
            qFatal("no control %s", name);
        return w;
    }
    // Clicks the window at a point of a control, as the pupil's mouse would.
    void click(const char *name, QPoint at = {-1, -1})
    {
        QWidget *w = find(name);
        QTest::mouseClick(window_->windowHandle(), Qt::LeftButton, {},
                          w->mapTo(window_, at.x() < 0 ? w->rect().center() : at));
    }
    QString text(const char *label) const { return find<QLabel>(label)->text(); }

    ScriptedRandom *random_ = nullptr;
    Form1 *window_ = nullptr;
    MessageBoxes *boxes_ = nullptr;
};

void TestWindow::init()
{
    // Toscana is asked for at every press of the car, unless a test says otherwise.
    auto random = std::make_unique<ScriptedRandom>();
    random_ = random.get();
    random_->values = {drawFor(2)};
    window_ = new Form1(std::move(random));
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_));
    boxes_ = new MessageBoxes;
}

void TestWindow::cleanup()
{
    delete boxes_;
    delete window_;
}

void TestWindow::windowRecord()
{
    // The caption and the client area's size are read end to end.
    QVERIFY(!window_->windowIcon().isNull());
    QCOMPARE(window_->minimumSize(), window_->maximumSize()); // a fixed window
    QCOMPARE(window_->centralWidget()->palette().color(QPalette::Window), QColor(192, 192, 192));
}

void TestWindow::controls_data()
{
    QTest::addColumn<QString>("container");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QColor>("colour");
    QTest::addColumn<QString>("family"); // "" for the window's own font
    QTest::addColumn<int>("pixelSize");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<bool>("visible");
    QTest::addColumn<bool>("opaque");

    const auto row = [](const char *name, const char *container, QRect geometry, const char *text, QColor colour,
                        const char *family, int pixelSize, bool bold = false, bool visible = true, bool opaque = false) {
        QTest::newRow(name) << container << geometry << text << colour << family << pixelSize << bold << visible
                            << opaque;
    };
    const char *sans = "Liberation Sans", *serif = "Liberation Serif";
    const QColor black(0, 0, 0), cyan(0, 255, 255), purple(192, 0, 192), grey(192, 192, 192);
    row("Command3", "client", twips(3480, 7440, 1575, 855), "Esci", QColor(192, 192, 255), serif, 18, false, true, true);
    row("Picture2", "client", twips(360, -120, 7335, 7575), "", grey, "", 0, false, true, true);
    row("Command2", "Picture2", twips(5520, 360, 1335, 1455),
        "Cliccami  per iniziare  il viaggio tra le regioni del nostro Paese", cyan, sans, 11, false, true, true);
    row("Label43", "Picture2", twips(1080, 120, 1455, 375), "da scoprire:", QColor(255, 255, 255), sans, 16);
    row("Label42", "Picture2", twips(0, 120, 1095, 375), "Regione ", QColor(0, 255, 0), sans, 16);
    row("lblreg", "Picture2", twips(2400, 120, 2655, 375), "", QColor(255, 0, 0), sans, 16);
    row("Picture1", "client", twips(360, 4080, 975, 1095), "", QColor(), "", 0, false, false);
    row("Command1", "client", twips(5640, 0, 1455, 1095), "Per uscire   premi  il tasto esc", QColor(128, 255, 255),
        sans, 16, true, false, true);
    row("Text1", "client", twips(4680, 7305, 60, 150), "Text1", black, serif, 8, false, true, true);
    row("Label45", "client", twips(360, 7560, 1095, 615), "Esatte", cyan, sans, 16);
    row("Label44", "client", twips(6360, 7560, 975, 495), "Errate", purple, sans, 16);
    row("lblpunti", "client", twips(1440, 7560, 855, 495), "0", cyan, sans, 16, false, true, true);
    row("lblerrori", "client", twips(7440, 7560, 855, 495), "0", purple, sans, 16, false, true, true);
}

void TestWindow::controls()
{
    QFETCH(QString, container);
    QFETCH(QRect, geometry);
    QFETCH(QString, text);
    QFETCH(QColor, colour);
    QFETCH(QString, family);
    QFETCH(int, pixelSize);
    QFETCH(bool, bold);
    QFETCH(bool, visible);
    QFETCH(bool, opaque);

    QWidget *w = find(QTest::currentDataTag());
    QCOMPARE(w->parentWidget()->objectName(), container);
    QCOMPARE(w->geometry(), geometry);
    QCOMPARE(w->isVisible(), visible);

    if (auto *label = qobject_cast<QLabel *>(w)) {
        QCOMPARE(label->text(), text);
        QCOMPARE(label->palette().color(QPalette::WindowText), colour);
        QCOMPARE(label->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
        // A transparent label paints only its text; the counters sit on the button face.
        QCOMPARE(label->autoFillBackground(), opaque);
        if (opaque)
            QCOMPARE(label->palette().color(QPalette::Window), QApplication::palette().color(QPalette::Button));
    } else if (auto *button = qobject_cast<QPushButton *>(w)) {
        QCOMPARE(button->text(), text);
        QCOMPARE(button->palette().color(QPalette::Button), colour);
    } else if (auto *edit = qobject_cast<QLineEdit *>(w)) {
        QCOMPARE(edit->text(), text);
        QCOMPARE(edit->palette().color(QPalette::Base), colour);
        QCOMPARE(edit->palette().color(QPalette::Text), colour);
    } else if (colour.isValid()) {
        QCOMPARE(w->palette().color(QPalette::Window), colour);
    }

    if (!family.isEmpty()) {
        const QFontInfo font(w->font());
        QCOMPARE(font.family(), family);
        QCOMPARE(font.pixelSize(), pixelSize);
        QCOMPARE(font.bold(), bold);
    }
}

void TestWindow::pictureButtonsInTheirColours_data()
{
    QTest::addColumn<QColor>("face");
    QTest::addColumn<QRect>("plainFace"); // beside the picture, above the caption
    QTest::addColumn<QRect>("caption");
    QTest::newRow("Command3") << QColor(192, 192, 255) << QRect(4, 4, 28, 28) << QRect(3, 35, 99, 19);
    QTest::newRow("Command2") << QColor(0, 255, 255) << QRect(4, 4, 22, 28) << QRect(3, 35, 83, 59);
}

void TestWindow::pictureButtonsInTheirColours()
{
    // The face flat in the button's own colour, the caption in black on it.
    QFETCH(QColor, face);
    QFETCH(QRect, plainFace);
    QFETCH(QRect, caption);
    const QImage drawn = find(QTest::currentDataTag())->grab().toImage();
    for (int y = plainFace.top(); y <= plainFace.bottom(); ++y)
        for (int x = plainFace.left(); x <= plainFace.right(); ++x)
            QVERIFY2(drawn.pixelColor(x, y) == face, qPrintable(QStringLiteral("%1,%2: %3").arg(x).arg(y)
                                                                .arg(drawn.pixelColor(x, y).name())));
    int dark = 0;
    for (int y = caption.top(); y <= caption.bottom(); ++y) {
        for (int x = caption.left(); x <= caption.right(); ++x) {
            // Between the face and black: the face's colour, darkened by the text's coverage.
            const QColor c = drawn.pixelColor(x, y);
            const qreal t = qreal(c.blue()) / face.blue();
            QVERIFY2(qAbs(c.red() - t * face.red()) <= 4 && qAbs(c.green() - t * face.green()) <= 4,
                     qPrintable(QStringLiteral("%1,%2: %3").arg(x).arg(y).arg(c.name())));
            dark += t < 0.5;
        }
    }
    QVERIFY(dark > 40);
}

void TestWindow::stackingOrder()
{
    // Buttons, boxes and the text box above labels; within a sort, the design's order from the top.
    QCOMPARE(childOrder(find("client")),
             (QStringList{"Command3", "Picture2", "Picture1", "Command1", "Text1", "Label45", "Label44", "lblpunti",
                          "lblerrori"}));
    QStringList inMap{"Command2", "Label43", "Label42", "lblreg"};
    for (int n : {41, 40, 39, 38, 37, 36, 35, 34, 33, 32, 31, 30, 29, 27, 26, 25, 24, 23, 22, 21, 20,
                  19, 18, 17, 16, 15, 14, 13, 12, 11, 10, 9,  8,  7,  5,  4,  3,  2,  1,  28, 6})
        inMap << QStringLiteral("Label%1").arg(n);
    QCOMPARE(childOrder(find("Picture2")), inMap);
}

void TestWindow::tabOrderFromTheFirstFocus()
{
    // Text1, Command1, Picture1, Picture2, Command2, Command3: hidden ones are never reached.
    // The walk starts where the program leaves the focus; the car, once clicked and hidden,
    // leaves it on the map.
    auto walk = [this] {
        QStringList order;
        for (int i = 0; i < 4 && window_->focusWidget(); ++i) {
            order << window_->focusWidget()->objectName();
            QTest::keyClick(window_->focusWidget(), Qt::Key_Tab);
        }
        return order;
    };
    QCOMPARE(walk(), (QStringList{"Text1", "Picture2", "Command2", "Command3"}));
    click("Command2");
    QCOMPARE(boxes_->take().size(), 1);
    QVERIFY(find("Command2")->isHidden());
    QCOMPARE(walk(), (QStringList{"Picture2", "Command3", "Text1", "Picture2"}));
}

void TestWindow::menuBar()
{
    // Each entry as "name:text", a drop-down menu's entries in brackets after it.
    QStringList entries;
    for (QAction *entry : window_->menuBar()->actions()) {
        QObject *named = entry->menu() ? static_cast<QObject *>(entry->menu()) : entry;
        entries << named->objectName() + ':' + entry->text();
        if (entry->menu())
            for (QAction *inside : entry->menu()->actions())
                entries.last() += " [" + inside->objectName() + ':' + inside->text() + ']';
    }
    QCOMPARE(entries, (QStringList{"istruzioni:Istruzioni",
                                   "scuol:Scuola [sotware:Zefirana 2.00 \u2013 gioco libero per la scuola primaria]",
                                   "Esc:Per avere una nuova regione clicca sul pulsante con l'automobile"}));
}

void TestWindow::menuEntries_data()
{
    QTest::addColumn<QStringList>("boxes");
    QTest::newRow("istruzioni") << QStringList{"Attenzione|La tua gara finisce se superi i 20 errori...|warning"};
    QTest::newRow("sotware") << QStringList{};
    QTest::newRow("Esc") << QStringList{};
    QTest::newRow("the frame closed") << QStringList{};
}

void TestWindow::menuEntries()
{
    // In the middle of a turn, twice: the game is left as it was; only closing the frame ends it.
    QFETCH(QStringList, boxes);
    QSignalSpy ended(window_, &Form1::programEnded);
    click("Command2");
    boxes_->take();
    const bool closing = QByteArray(QTest::currentDataTag()) == "the frame closed";
    for (int i = 0; i < 2; ++i) {
        closing ? void(window_->close()) : window_->findChild<QAction *>(QTest::currentDataTag())->trigger();
        QTest::qWait(30);
        QCOMPARE(boxes_->take(), boxes);
    }
    QCOMPARE(window_->isVisible(), !closing);
    QCOMPARE(ended.size(), 0);
    QCOMPARE(text("lblreg"), "Toscana");
    QVERIFY(find("Command2")->isHidden());
    QCOMPARE(window_->game().errori(), 0);
}

void TestWindow::timerTicksEveryTwentyMilliseconds()
{
    // Running from the moment the window is created; the game lets it sleep when idle.
    Form1 created;
    auto *timer = created.findChild<QTimer *>("Timer1");
    QVERIFY(timer);
    QCOMPARE(timer->parent()->objectName(), "Picture2");
    QCOMPARE(timer->interval(), 20);
    QVERIFY(timer->isActive());
}

void TestWindow::whatAClickAnswers_data()
{
    QTest::addColumn<QPoint>("press"); // map pixels
    QTest::addColumn<QPoint>("release");
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<int>("region"); // 0: no answer at all
    // Where hotspots overlap, the one the stacking puts on top answers.
    const auto row = [](const char *name, QPoint p, int region) {
        QTest::newRow(name) << p << p << Qt::LeftButton << region;
    };
    row("Valle d'Aosta over Piemonte", QPoint(112, 90), 20);
    row("Puglia over Campania", QPoint(352, 296), 15);
    row("Liguria over Emilia Romagna", QPoint(168, 160), 8);
    row("the sea west of the mainland", QPoint(100, 250), 0);
    const QPoint toscana(200, 200);
    QTest::newRow("right button") << toscana << toscana << Qt::RightButton << 0;
    QTest::newRow("middle button") << toscana << toscana << Qt::MiddleButton << 0;
    QTest::newRow("released on another hotspot") << toscana << QPoint(100, 340) << Qt::LeftButton << 0;
    QTest::newRow("released on the sea") << toscana << QPoint(100, 250) << Qt::LeftButton << 0;
    QTest::newRow("pressed on the sea") << QPoint(100, 250) << toscana << Qt::LeftButton << 0;
}

void TestWindow::whatAClickAnswers()
{
    // Before the first press every hotspot is a wrong answer that names its own region.
    QFETCH(QPoint, press);
    QFETCH(QPoint, release);
    QFETCH(Qt::MouseButton, button);
    QFETCH(int, region);
    QWidget *map = find("Picture2");
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

void TestWindow::everyHotspotAsDesigned_data()
{
    QTest::addColumn<int>("label");
    for (int label = 1; label <= 41; ++label)
        QTest::addRow("Label%d", label) << label;
}

void TestWindow::everyHotspotAsDesigned()
{
    // In its rectangle, over the very map pixels of the design, it answers for its region.
    QFETCH(int, label);
    const int *design = kDesign[label - 1];
    const QRect pixels = twips(design[1], design[2], design[3], design[4]);
    QWidget *map = find("Picture2");
    QWidget *hotspot = map->findChild<QWidget *>(QStringLiteral("Label%1").arg(label));
    QVERIFY(hotspot);
    QCOMPARE(hotspot->geometry(), pixels);
    const QImage shown = map->grab(pixels).toImage().convertToFormat(QImage::Format_RGB32);
    const QImage picture = QImage(":/pictures/map.jpg").copy(pixels).convertToFormat(QImage::Format_RGB32);
    QCOMPARE(shown, picture);
    // Before the first press every hotspot is a wrong answer that names its own region.
    click("Picture2", pixels.center());
    QCOMPARE(boxes_->take(), QStringList{reveal(design[0])});
}

void TestWindow::mapTakesNoClickWhileABoxIsOpen()
{
    int triedWhileOpen = 0;
    boxes_->whileOpen = [&](QMessageBox *) {
        if (triedWhileOpen++ == 0)
            click("Picture2", QPoint(100, 320)); // Sardegna, behind the prompt
    };
    click("Command2");
    QCOMPARE(boxes_->take(), QStringList{prompt(2)});
    QCOMPARE(window_->game().errori(), 0);
}

void TestWindow::twentyErrorsEndTheGame()
{
    QSignalSpy ended(window_, &Form1::programEnded);
    click("Command2"); // Toscana asked
    boxes_->take();
    for (int i = 0; i < 20; ++i)
        click("Picture2", QPoint(100, 340)); // Sardegna, twenty times
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

void TestWindow::timerSleepsUntilACounterChanges_data()
{
    QTest::addColumn<QList<int>>("clicks"); // 0: the car button, else the hotspot LabelN
    QTest::addColumn<QString>("right");
    QTest::addColumn<QString>("wrong");

    // Lombardia is asked for at every press: Label5 is right, Label3 (Toscana) wrong.
    QTest::newRow("new game") << QList<int>{} << "0" << "0";
    QTest::newRow("a turn open") << QList<int>{0} << "0" << "0";
    QTest::newRow("a wrong answer") << QList<int>{3} << "0" << "1";
    QTest::newRow("a turn won") << QList<int>{0, 3, 5} << "1" << "1";
}

void TestWindow::timerSleepsUntilACounterChanges()
{
    QFETCH(QList<int>, clicks);
    QFETCH(QString, right);
    QFETCH(QString, wrong);

    random_->values = {drawFor(3)};
    auto *timer = find<QTimer>("Timer1");
    // The first tick finds the counters shown as they are: the timer goes to sleep.
    QTRY_VERIFY(!timer->isActive());
    for (int click : clicks)
        click == 0 ? window_->Command2_Click() : window_->Label_Click(click);
    QCOMPARE(boxes_->take().size(), clicks.size());
    // A changed counter wakes the timer; its next tick shows the count, then it sleeps again.
    QTRY_COMPARE(text("lblpunti"), right);
    QTRY_COMPARE(text("lblerrori"), wrong);
    QTRY_VERIFY(!timer->isActive());
    QCoreApplication::sendPostedEvents();
    QTest::qWait(100); // every pending update reaches the screen

    PaintCounter counter;
    for (int i = 0; i < 25; ++i)
        window_->Timer1_Timer();
    QCoreApplication::sendPostedEvents();
    QTest::qWait(100);
    QCOMPARE(counter.painted, QStringList{});
    QVERIFY(!timer->isActive());
}

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
