// The mouse pointer over each part of the window, and the pictures at the screen's density.
// Run twice by CTest: at the usual density and with the whole window scaled by 2.
#include "ui/form1.h"
#include "ui/mapbox.h"
#include "ui/picturebutton.h"
#include "ui/pictures.h"

#include <QTest>

using ui::Form1;

class TestPointers : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase() { delete window_; }
    void pointerOverEachPart_data();
    void pointerOverEachPart();
    void picturesMatchTheScreenDensity();

private:
    Form1 *window_ = nullptr;
    qreal density_ = 1;
};

void TestPointers::initTestCase()
{
    Form1::prepareApplication();
    density_ = qApp->devicePixelRatio();
    // The run with the window scaled by 2 must really be at double density.
    QCOMPARE(density_, qEnvironmentVariable("QT_SCALE_FACTOR", "1").toDouble());
    window_ = new Form1;
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_));
}

void TestPointers::pointerOverEachPart_data()
{
    QTest::addColumn<QString>("container"); // the point is given in this control's coordinates
    QTest::addColumn<QPoint>("point");
    QTest::addColumn<QString>("picture"); // "" for the ordinary arrow
    QTest::newRow("hotspot Label3 (Toscana)") << "Picture2" << QPoint(200, 200) << "flag.png";
    QTest::newRow("hotspot Label41 (Valle d'Aosta)") << "Picture2" << QPoint(90, 90) << "flag.png";
    QTest::newRow("map outside every hotspot") << "Picture2" << QPoint(100, 250) << "globe.png";
    QTest::newRow("window background right of the map") << "client" << QPoint(540, 200) << "winged.png";
    QTest::newRow("exit button") << "Command3" << QPoint(50, 20) << "stophand.png";
    QTest::newRow("car button") << "Command2" << QPoint(40, 40) << "";
}

void TestPointers::pointerOverEachPart()
{
    QFETCH(QString, container);
    QFETCH(QPoint, point);
    QFETCH(QString, picture);

    QWidget *base = window_->findChild<QWidget *>(container);
    QVERIFY(base);
    QWidget *under = window_->childAt(base->mapTo(window_, point));
    QVERIFY(under);
    // A control without a pointer of its own shows its container's.
    QWidget *owner = under;
    while (!owner->testAttribute(Qt::WA_SetCursor) && owner->parentWidget())
        owner = owner->parentWidget();
    const QCursor cursor = owner->cursor();

    if (picture.isEmpty()) {
        QCOMPARE(cursor.shape(), Qt::ArrowCursor);
        return;
    }
    QCOMPARE(cursor.shape(), Qt::BitmapCursor);
    const QPixmap expected = ui::pictures::load(picture, density_);
    QVERIFY(!expected.isNull());
    QCOMPARE(cursor.pixmap().toImage().convertToFormat(QImage::Format_ARGB32),
             expected.toImage().convertToFormat(QImage::Format_ARGB32));
    QCOMPARE(cursor.pixmap().devicePixelRatio(), density_ > 1 ? 2.0 : 1.0);
    // The active point is the centre of the 32 x 32 square.
    QCOMPARE(cursor.hotSpot(), QPoint(16, 16));
}

void TestPointers::picturesMatchTheScreenDensity()
{
    const qreal expected = density_ > 1 ? 2.0 : 1.0;
    auto *map = window_->findChild<ui::MapBox *>("Picture2");
    QCOMPARE(map->picture().devicePixelRatio(), expected);
    // Shown at its natural size: 484 x 499 pixels of the design at either density.
    QCOMPARE(map->picture().deviceIndependentSize(), QSizeF(484, 499));
    QCOMPARE(map->picture().size(), QSize(484, 499) * expected);
}

QTEST_MAIN(TestPointers)
#include "tst_pointers.moc"
