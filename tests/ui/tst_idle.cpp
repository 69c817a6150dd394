// An idle game is idle: Timer1 sleeps while no tick could change anything, a changed counter
// still shows at the next tick, and a tick that changes nothing repaints nothing.
#include "support/messageboxes.h"
#include "support/scriptedrandom.h"
#include "ui/form1.h"

#include <QLabel>
#include <QTest>
#include <QTimer>

using ui::Form1;

namespace {

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

class TestIdle : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { Form1::prepareApplication(); }
    void timerSleepsUntilACounterChanges_data();
    void timerSleepsUntilACounterChanges();
};

void TestIdle::timerSleepsUntilACounterChanges_data()
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

void TestIdle::timerSleepsUntilACounterChanges()
{
    QFETCH(QList<int>, clicks);
    QFETCH(QString, right);
    QFETCH(QString, wrong);

    auto random = std::make_unique<ScriptedRandom>();
    random->values = {drawFor(3)};
    Form1 window(std::move(random));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto *timer = window.findChild<QTimer *>("Timer1");
    QVERIFY(timer);
    // The first tick finds the counters shown as they are: the timer goes to sleep.
    QTRY_VERIFY(!timer->isActive());

    {
        MessageBoxes boxes;
        for (int click : clicks)
            click == 0 ? window.Command2_Click() : window.Label_Click(click);
        QCOMPARE(boxes.seen.size(), clicks.size());
    }
    // A changed counter wakes the timer; its next tick shows the count, then it sleeps again.
    QTRY_COMPARE(window.findChild<QLabel *>("lblpunti")->text(), right);
    QTRY_COMPARE(window.findChild<QLabel *>("lblerrori")->text(), wrong);
    QTRY_VERIFY(!timer->isActive());
    QCoreApplication::sendPostedEvents();
    QTest::qWait(100); // every pending update reaches the screen

    PaintCounter counter;
    for (int i = 0; i < 25; ++i)
        window.Timer1_Timer();
    QCoreApplication::sendPostedEvents();
    QTest::qWait(100);
    QCOMPARE(counter.painted, QStringList{});
    QVERIFY(!timer->isActive());
}

QTEST_MAIN(TestIdle)
#include "tst_idle.moc"
