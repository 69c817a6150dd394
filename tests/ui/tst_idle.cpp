// The 20 ms tick while nothing happens: it must repaint nothing, or an idle window would
// keep a core busy drawing the same counters fifty times a second. A tick after a counter
// changed repaints that counter's label and no other.
#include "quiz/hotspots.h"
#include "support/messageboxes.h"
#include "support/scriptedrandom.h"
#include "ui/form1.h"

#include <QHash>
#include <QLabel>
#include <QTest>
#include <QTimer>

using ui::Form1;

namespace {

// Counts the paint events of every widget, by object name.
class PaintCounter final : public QObject
{
public:
    QHash<QString, int> paints;

    PaintCounter() { qApp->installEventFilter(this); }
    ~PaintCounter() override { qApp->removeEventFilter(this); }

    QStringList painted() const
    {
        QStringList names = paints.keys();
        names.sort();
        return names;
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && watched->isWidgetType()) {
            const QString name = watched->objectName();
            ++paints[name.isEmpty() ? QString::fromLatin1(watched->metaObject()->className()) : name];
        }
        return false;
    }
};

int labelOf(int region)
{
    for (const quiz::Hotspot &h : quiz::kHotspots)
        if (h.region == region)
            return h.label;
    return 0;
}

// Lets every pending update reach the screen.
void settle()
{
    QCoreApplication::sendPostedEvents();
    QTest::qWait(100);
}

} // namespace

class TestIdle : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { Form1::prepareApplication(); }
    void tickRepaintsOnlyAChangedCounter_data();
    void tickRepaintsOnlyAChangedCounter();
};

void TestIdle::tickRepaintsOnlyAChangedCounter_data()
{
    QTest::addColumn<QString>("play");           // what the pupil does before the ticks
    QTest::addColumn<QString>("changed");        // the counter label that the first tick changes
    QTest::addColumn<QStringList>("repainted");  // what the first tick may repaint

    QTest::newRow("new game") << "" << "" << QStringList{};
    QTest::newRow("a wrong answer") << "wrong" << "lblerrori" << QStringList{"lblerrori"};
    // The caption "Esatte" reaches one pixel into its counter and lies above it.
    QTest::newRow("a right answer") << "right" << "lblpunti" << QStringList{"Label45", "lblpunti"};
    QTest::newRow("a turn open") << "press" << "" << QStringList{};
}

void TestIdle::tickRepaintsOnlyAChangedCounter()
{
    QFETCH(QString, play);
    QFETCH(QString, changed);
    QFETCH(QStringList, repainted);

    auto random = std::make_unique<ScriptedRandom>();
    random->values = {drawFor(3)};
    Form1 window(std::move(random));
    // The test ticks by itself, so that it knows how many ticks there were.
    QTimer *timer = window.findChild<QTimer *>("Timer1");
    QVERIFY(timer);
    timer->stop();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    {
        MessageBoxes boxes;
        if (play == "wrong") {
            window.Label_Click(labelOf(2));
        } else if (play == "right") {
            window.Command2_Click();
            window.Label_Click(labelOf(3));
        } else if (play == "press") {
            window.Command2_Click();
        }
        QCOMPARE(boxes.seen.size(), play == "right" ? 2 : play.isEmpty() ? 0 : 1);
    }
    settle();

    PaintCounter counter;
    window.Timer1_Timer();
    if (!changed.isEmpty()) {
        QTRY_VERIFY(counter.paints.value(changed) > 0);
        QCOMPARE(window.findChild<QLabel *>(changed)->text(), "1");
    }
    settle();
    // Only the counter that changed; the other one and the rest of the window stay as drawn.
    QCOMPARE(counter.painted(), repainted);

    counter.paints.clear();
    for (int i = 0; i < 25; ++i)
        window.Timer1_Timer();
    settle();
    QCOMPARE(counter.painted(), QStringList{});
}

QTEST_MAIN(TestIdle)
#include "tst_idle.moc"
