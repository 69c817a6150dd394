// The window as the pupil sees it and plays it: every control at its place with its texts,
// colours, fonts and pointers, the tab order, the menu bar and the exit button, the hotspots of
// the map against the design, what a click answers, and the error limit.
// Clicks go to the window as the pupil's mouse would send them; the real message boxes answer.
// CTest runs the pointers and the map once more with the whole window scaled by 2.
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

QString reveal(int region) { return "Zefirana|" + quiz::region(region)->reveal.toString() + "|none"; }
QRect twips(int left, int top, int width, int height) { return QRect(left / 15, top / 15, width / 15, height / 15); }

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

// A control as designed: its container, rectangle, text and colour, its font (none for the
// window's own), whether it is shown, and for a label whether it paints its own background.
struct Control
{
    const char *container;
    QRect geometry;
    const char *text;
    QColor colour;
    const char *family = nullptr;
    int pixelSize = 0;
    bool bold = false, visible = true, opaque = false;
};

} // namespace

Q_DECLARE_METATYPE(Control)

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
        QCOMPARE(window_->centralWidget()->palette().color(QPalette::Window), QColor(192, 192, 192));
    }

    void controls_data()
    {
        QTest::addColumn<Control>("control");
        const char *sans = "Liberation Sans", *serif = "Liberation Serif";
        const QColor cyan(0, 255, 255), purple(192, 0, 192);
        const auto row = [](const char *name, const Control &control) { QTest::newRow(name) << control; };
        row("Command3", {"client", twips(3480, 7440, 1575, 855), "Esci", QColor(192, 192, 255), serif, 18});
        row("Picture2", {"client", twips(360, -120, 7335, 7575), "", QColor(192, 192, 192)});
        row("Command2", {"Picture2", twips(5520, 360, 1335, 1455),
                         "Cliccami  per iniziare  il viaggio tra le regioni del nostro Paese", cyan, sans, 11});
        row("Label43", {"Picture2", twips(1080, 120, 1455, 375), "da scoprire:", Qt::white, sans, 16});
        row("Label42", {"Picture2", twips(0, 120, 1095, 375), "Regione ", QColor(0, 255, 0), sans, 16});
        row("lblreg", {"Picture2", twips(2400, 120, 2655, 375), "", QColor(255, 0, 0), sans, 16});
        row("Picture1", {"client", twips(360, 4080, 975, 1095), "", {}, nullptr, 0, false, false});
        row("Command1", {"client", twips(5640, 0, 1455, 1095), "Per uscire   premi  il tasto esc",
                         QColor(128, 255, 255), sans, 16, true, false});
        row("Text1", {"client", twips(4680, 7305, 60, 150), "Text1", Qt::black, serif, 8});
        row("Label45", {"client", twips(360, 7560, 1095, 615), "Esatte", cyan, sans, 16});
        row("Label44", {"client", twips(6360, 7560, 975, 495), "Errate", purple, sans, 16});
        row("lblpunti", {"client", twips(1440, 7560, 855, 495), "0", cyan, sans, 16, false, true, true});
        row("lblerrori", {"client", twips(7440, 7560, 855, 495), "0", purple, sans, 16, false, true, true});
    }

    void controls()
    {
        QFETCH(Control, control);
        QWidget *w = find(QTest::currentDataTag());
        QCOMPARE(w->parentWidget()->objectName(), control.container);
        QCOMPARE(w->geometry(), control.geometry);
        QCOMPARE(w->isVisible(), control.visible);
        if (auto *label = qobject_cast<QLabel *>(w)) {
            QCOMPARE(label->text(), control.text);
            QCOMPARE(label->palette().color(QPalette::WindowText), control.colour);
            QCOMPARE(label->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
            // A transparent label paints only its text; the counters sit on the button face.
            QCOMPARE(label->autoFillBackground(), control.opaque);
            if (control.opaque)
                QCOMPARE(label->palette().color(QPalette::Window), QApplication::palette().color(QPalette::Button));
        } else if (auto *button = qobject_cast<QPushButton *>(w)) {
            QCOMPARE(button->text(), control.text);
            QCOMPARE(button->palette().color(QPalette::Button), control.colour);
        } else if (auto *edit = qobject_cast<QLineEdit *>(w)) {
            QCOMPARE(edit->text(), control.text);
            QCOMPARE(edit->palette().color(QPalette::Base), control.colour);
        } else if (control.colour.isValid()) {
            QCOMPARE(w->palette().color(QPalette::Window), control.colour);
        }
        if (control.family) {
            const QFontInfo font(w->font());
            QCOMPARE(font.family(), control.family);
            QCOMPARE(font.pixelSize(), control.pixelSize);
            QCOMPARE(font.bold(), control.bold);
        }
    }

    void pictureButtonsInTheirColours_data()
    {
        QTest::addColumn<QColor>("face");
        QTest::addColumn<QRect>("caption"); // below the picture
        QTest::newRow("Command3") << QColor(192, 192, 255) << QRect(3, 35, 99, 19);
        QTest::newRow("Command2") << QColor(0, 255, 255) << QRect(3, 35, 83, 59);
    }

    void pictureButtonsInTheirColours()
    {
        // The face flat in the button's own colour, the caption in black on it.
        QFETCH(QColor, face);
        QFETCH(QRect, caption);
        const QImage drawn = find(QTest::currentDataTag())->grab().toImage();
        int dark = 0;
        for (int y = caption.top(); y <= caption.bottom(); ++y) {
            for (int x = caption.left(); x <= caption.right(); ++x) {
                // Between the face and black: the face's colour, darkened by the text's coverage
                // (the plain face between the letters being the face's colour itself).
                const QColor c = drawn.pixelColor(x, y);
                const qreal t = qreal(c.blue()) / face.blue();
                QVERIFY2(qAbs(c.red() - t * face.red()) <= 4 && qAbs(c.green() - t * face.green()) <= 4,
                         qPrintable(QStringLiteral("%1,%2: %3").arg(x).arg(y).arg(c.name())));
                dark += t < 0.5;
            }
        }
        QVERIFY(dark > 40);
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

    void tabOrderFromTheFirstFocus()
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
        QCOMPARE(walk(), (QStringList{"Picture2", "Command3", "Text1", "Picture2"}));
    }

    void menuBar()
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

    void everyHotspotAsDesigned_data()
    {
        QTest::addColumn<int>("label");
        for (int label = 1; label <= 41; ++label)
            QTest::addRow("Label%d", label) << label;
    }

    void everyHotspotAsDesigned()
    {
        // In its rectangle, over the very map pixels of the design (from the picture of the
        // screen's density), it answers for its region.
        QFETCH(int, label);
        const int *design = kDesign[label - 1];
        const QRect pixels = twips(design[1], design[2], design[3], design[4]);
        QWidget *map = find("Picture2");
        QCOMPARE(map->findChild<QWidget *>(QStringLiteral("Label%1").arg(label))->geometry(), pixels);
        const int density = qApp->devicePixelRatio() > 1 ? 2 : 1;
        const QImage picture(density > 1 ? ":/pictures/map@2x.jpg" : ":/pictures/map.jpg");
        const QImage designed = picture.copy(QRect(pixels.topLeft() * density, pixels.size() * density));
        QCOMPARE(map->grab(pixels).toImage().convertToFormat(QImage::Format_RGB32),
                 designed.convertToFormat(QImage::Format_RGB32));
        click("Picture2", pixels.center());
        QCOMPARE(boxes_->take(), QStringList{reveal(design[0])});
    }

    void twentyErrorsEndTheGame()
    {
        // Timer1 ticks every 20 ms; once the counters are shown it sleeps until one changes.
        auto *timer = find<QTimer>("Timer1");
        QCOMPARE(timer->interval(), 20);
        QTRY_VERIFY(!timer->isActive());
        QSignalSpy ended(window_, &Form1::programEnded);
        click("Command2");
        // Right: "Esatte" shows it at the next tick and the heading empties; a second press
        // counts nothing by itself and asks again.
        click("Picture2", QPoint(200, 200));
        QTRY_COMPARE(text("lblpunti"), "1");
        QCOMPARE(text("lblreg"), "");
        click("Command2");
        const QString prompt = "Zefirana|Clicca sulla Toscana|none";
        QCOMPARE(boxes_->take(), (QStringList{prompt, "Zefirana|Esatto|none", prompt}));
        QCOMPARE(text("lblreg"), "Toscana");
        for (int i = 0; i < 20; ++i)
            click("Picture2", QPoint(100, 340)); // Sardegna, twenty times
        // The errors woke the timer: it finds the twentieth error and ends the game, once.
        QTRY_COMPARE(ended.size(), 1);
        const QString end = "Fine del gioco|Mi dispiace hai superato la soglia dei 20 errori... "
                            "La tua gara \u00e8 finita|warning";
        QCOMPARE(boxes_->take(), QStringList(20, reveal(19)) << end);
        QCOMPARE(text("lblerrori"), "20");
        QCOMPARE(text("lblpunti"), "1");
        QVERIFY(!window_->isVisible());
    }
};

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
