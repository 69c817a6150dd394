// The window as the pupil sees it: every control at its place with its texts, colours and
// fonts, the stacking and tab order, the menu bar, the instructions and the ways out.
#include "support/messageboxes.h"
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

} // namespace

class TestWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void windowRecord();
    void controls_data();
    void controls();
    void pictureButtonsInTheirColours_data();
    void pictureButtonsInTheirColours();
    void fontsFitTheirLabels();
    void stackingOrder();
    void tabOrderFromTheFirstFocus();
    void menuBar();
    void instructionsLeaveTheGameAsItWas();
    void quietEntriesDoNothing();
    void exitSaysGoodbyeThenEnds();
    void closingTheFrameEndsWithoutQuestion();
    void timerTicksEveryTwentyMilliseconds();

private:
    Form1 *window_ = nullptr;
    template <typename T = QWidget>
    T *find(const char *name) const
    {
        T *w = window_->findChild<T *>(QString::fromLatin1(name));
        if (!w)
            qFatal("no control %s", name);
        return w;
    }
};

void TestWindow::initTestCase() { Form1::prepareApplication(); }

void TestWindow::init()
{
    window_ = new Form1;
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_));
}

void TestWindow::cleanup()
{
    delete window_;
    window_ = nullptr;
}

void TestWindow::windowRecord()
{
    QVERIFY(window_->windowTitle().startsWith("Lumbrena...."));
    QVERIFY(window_->windowTitle().size() > QString("Lumbrena....").size());
    QVERIFY(window_->windowTitle()[12] != u' '); // the credit follows the dots directly
    QVERIFY(!window_->windowIcon().isNull());
    QCOMPARE(window_->centralWidget()->size(), QSize(562, 554));
    // A fixed window: its size cannot change.
    QCOMPARE(window_->minimumSize(), window_->maximumSize());
    QCOMPARE(window_->height(), 554 + window_->menuBar()->height());
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

    const QString sans = "Liberation Sans";
    const QString serif = "Liberation Serif";
    const QColor black(0, 0, 0);
    const QColor cyan(0, 255, 255);
    const QColor purple(192, 0, 192);
    QTest::newRow("Command3") << "client" << twips(3480, 7440, 1575, 855) << "Esci" << QColor(192, 192, 255)
                              << serif << 18 << false << true << true;
    QTest::newRow("Picture2") << "client" << twips(360, -120, 7335, 7575) << "" << QColor(192, 192, 192) << ""
                              << 0 << false << true << true;
    QTest::newRow("Command2") << "Picture2" << twips(5520, 360, 1335, 1455)
                              << "Cliccami  per iniziare  il viaggio tra le regioni del nostro Paese" << cyan << sans
                              << 11 << false << true << true;
    QTest::newRow("Label43") << "Picture2" << twips(1080, 120, 1455, 375) << "da scoprire:" << QColor(255, 255, 255)
                             << sans << 16 << false << true << false;
    QTest::newRow("Label42") << "Picture2" << twips(0, 120, 1095, 375) << "Regione " << QColor(0, 255, 0) << sans
                             << 16 << false << true << false;
    QTest::newRow("lblreg") << "Picture2" << twips(2400, 120, 2655, 375) << "" << QColor(255, 0, 0) << sans << 16
                            << false << true << false;
    QTest::newRow("Picture1") << "client" << twips(360, 4080, 975, 1095) << "" << QColor() << "" << 0 << false
                              << false << false;
    QTest::newRow("Command1") << "client" << twips(5640, 0, 1455, 1095) << "Per uscire   premi  il tasto esc"
                              << QColor(128, 255, 255) << sans << 16 << true << false << true;
    QTest::newRow("Text1") << "client" << twips(4680, 7305, 60, 150) << "Text1" << black << serif << 8 << false
                           << true << true;
    QTest::newRow("Label45") << "client" << twips(360, 7560, 1095, 615) << "Esatte" << cyan << sans << 16 << false
                             << true << false;
    QTest::newRow("Label44") << "client" << twips(6360, 7560, 975, 495) << "Errate" << purple << sans << 16 << false
                             << true << false;
    QTest::newRow("lblpunti") << "client" << twips(1440, 7560, 855, 495) << "0" << cyan << sans << 16 << false
                              << true << true;
    QTest::newRow("lblerrori") << "client" << twips(7440, 7560, 855, 495) << "0" << purple << sans << 16 << false
                               << true << true;
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

void TestWindow::fontsFitTheirLabels()
{
    // The stand-in fonts must not cut a word off: every label's text fits its rectangle.
    for (const char *name : {"Label42", "Label43", "Label44", "Label45"}) {
        auto *label = find<QLabel>(name);
        const QRect needed = label->fontMetrics().boundingRect(label->text());
        QVERIFY2(needed.width() <= label->width() && label->fontMetrics().height() <= label->height(), name);
    }
    auto *lblreg = find<QLabel>("lblreg");
    for (const char *longest : {"Friuli Venezia Giulia", "Trentino Alto Adige"})
        QVERIFY2(lblreg->fontMetrics().horizontalAdvance(QString::fromLatin1(longest)) <= lblreg->width(), longest);
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
    MessageBoxes boxes;
    QWidget *car = find("Command2");
    QTest::mouseClick(window_->windowHandle(), Qt::LeftButton, {}, car->mapTo(window_, car->rect().center()));
    QCOMPARE(boxes.take().size(), 1);
    QVERIFY(car->isHidden());
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

void TestWindow::instructionsLeaveTheGameAsItWas()
{
    MessageBoxes boxes;
    window_->Command2_Click();
    const QString asked = find<QLabel>("lblreg")->text();
    boxes.take();
    for (int i = 0; i < 2; ++i) {
        window_->findChild<QAction *>("istruzioni")->trigger();
        QCOMPARE(boxes.take(), QStringList{"Attenzione|La tua gara finisce se superi i 20 errori...|warning"});
    }
    QCOMPARE(find<QLabel>("lblreg")->text(), asked);
    QVERIFY(find("Command2")->isHidden());
    QCOMPARE(window_->game().errori(), 0);
    QCOMPARE(window_->game().punti(), 0);
}

void TestWindow::quietEntriesDoNothing()
{
    MessageBoxes boxes;
    QSignalSpy ended(window_, &Form1::programEnded);
    window_->findChild<QAction *>("sotware")->trigger();
    window_->findChild<QAction *>("Esc")->trigger();
    QTest::qWait(50);
    QVERIFY(boxes.seen.isEmpty());
    QVERIFY(ended.isEmpty());
    QVERIFY(window_->isVisible());
}

void TestWindow::exitSaysGoodbyeThenEnds()
{
    MessageBoxes boxes;
    QSignalSpy ended(window_, &Form1::programEnded);
    window_->Command2_Click(); // in the middle of a turn: no question, no summary
    boxes.take();
    QTest::mouseClick(find("Command3"), Qt::LeftButton);
    QCOMPARE(boxes.take(), QStringList{"Zefirana|Ciao ti aspetto per giocare ancora insieme!|none"});
    QCOMPARE(ended.size(), 1);
    QVERIFY(!window_->isVisible());
}

void TestWindow::closingTheFrameEndsWithoutQuestion()
{
    MessageBoxes boxes;
    QVERIFY(window_->close());
    QTest::qWait(30);
    QVERIFY(boxes.seen.isEmpty());
    QVERIFY(!window_->isVisible());
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

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
