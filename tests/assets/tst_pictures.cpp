// The pictures as shipped in resources/ and compiled into the program: the map of Italy (its
// grey ground, every hotspot on its own region, the colours a pupil is told about), the
// tricolour flag pixel by pixel (also as the desktop and Windows icons), and the small pointer
// and button pictures at both densities.

#include "quiz/hotspots.h"
#include "ui/twips.h"

#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QtTest>

namespace {

QString sourcePath(const QString &name)
{
    return qEnvironmentVariable("ZEFIRANA_SOURCE_DIR") + QStringLiteral("/resources/") + name;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QImage picture(const QString &name) { return QImage(sourcePath(name)).convertToFormat(QImage::Format_ARGB32); }

// The map pixels under a hotspot, at single or double density.
QRect hotspotPixels(int label, int scale = 1)
{
    const QRect r = ui::pixelRect(ui::kHotspotRects[std::size_t(label - 1)]);
    return QRect(r.topLeft() * scale, r.size() * scale);
}

bool isGrey(QRgb c, int tolerance)
{
    return std::max({std::abs(qRed(c) - 192), std::abs(qGreen(c) - 192), std::abs(qBlue(c) - 192)}) <= tolerance;
}

// Mean colour of a square of side 2*half+1 around a point.
QRgb meanColour(const QImage &image, QPoint p, int half)
{
    const QImage square = image.copy(QRect(p - QPoint(half, half), QSize(2 * half + 1, 2 * half + 1)));
    return square.scaled(1, 1, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).pixel(0, 0);
}

// The flag as described: rows 0-5 and 26-31 transparent, rows 6 and 25 black, and in rows
// 7-24 a black column at each side around green, white and red stripes of ten columns.
QRgb expectedFlagPixel(int x, int y)
{
    if (y < 6 || y > 25)
        return qRgba(0, 0, 0, 0);
    const bool border = y == 6 || y == 25 || x == 0 || x == 31;
    return border ? qRgb(0, 0, 0) : x <= 10 ? qRgb(0, 128, 0) : x <= 20 ? qRgb(255, 255, 255) : qRgb(255, 0, 0);
}

} // namespace

class TestPictures : public QObject
{
    Q_OBJECT

    QImage map, map2x, labels;
    int label(int x, int y) const { return labels.constScanLine(y)[x]; }

private slots:
    void initTestCase()
    {
        map = picture("map.jpg");
        map2x = picture("map@2x.jpg");
        labels = QImage(sourcePath("map-labels.png"));
        QCOMPARE(labels.format(), QImage::Format_Grayscale8);
        QCOMPARE(map.size(), QSize(484, 499));
        QCOMPARE(labels.size(), map.size());
        QCOMPARE(map2x.size(), 2 * map.size());
    }

    // The program carries every picture as it is in the source tree, in the format its name says.
    void compiledAsInSource()
    {
        for (const char *name : {"map", "flag", "winged", "globe", "car", "sphere", "stophand"})
            for (const char *density : {"", "@2x"}) {
                const QString file = name + QString::fromLatin1(density) + (name == QByteArray("map") ? ".jpg" : ".png");
                const QByteArray compiled = readFile(":/pictures/" + file);
                QVERIFY2(!compiled.isEmpty() && compiled == readFile(sourcePath(file)), qPrintable(file));
                QCOMPARE(QImageReader(":/pictures/" + file).format(), file.endsWith(".jpg") ? "jpeg" : "png");
            }
    }

    // Plain window grey at both densities, with no land: the heading band, the car button, open sea.
    void greyAreas_data()
    {
        QTest::addColumn<QRect>("area");
        QTest::newRow("heading band") << QRect(0, 0, 484, 32);
        QTest::newRow("car button") << QRect(368, 32, 89, 98);
        QTest::newRow("sea west of the mainland") << QRect(92, 240, 17, 17);
        QTest::newRow("left edge") << QRect(0, 0, 40, 499);
        QTest::newRow("lower left corner") << QRect(0, 440, 180, 59);
    }

    void greyAreas()
    {
        QFETCH(QRect, area);
        for (int scale : {1, 2})
            for (int y = area.top() * scale; y < (area.bottom() + 1) * scale; ++y)
                for (int x = area.left() * scale; x < (area.right() + 1) * scale; ++x) {
                    const QRgb c = (scale == 1 ? map : map2x).pixel(x, y);
                    if (!isGrey(c, 3) || label(x / scale, y / scale) != 0)
                        QFAIL(qPrintable(QStringLiteral("scale %1: (%2, %3) is %4, region %5").arg(scale).arg(x).arg(y)
                                             .arg(QColor(c).name()).arg(label(x / scale, y / scale))));
                }
    }

    // The label image and the pictures at both densities show the same map: labelled land is
    // coloured, and open sea (away from the coast and from the land's shadow) is grey.
    void labelsMatchPictures()
    {
        const auto uniform = [this](int x, int y, int value, int before, int after) {
            for (int dy = -before; dy <= after; ++dy)
                for (int dx = -before; dx <= after; ++dx)
                    if (label(x + dx, y + dy) != value)
                        return false;
            return true;
        };
        int land = 0, sea = 0;
        for (int y = 12; y < labels.height() - 12; ++y)
            for (int x = 12; x < labels.width() - 12; ++x) {
                const int here = label(x, y);
                QVERIFY(here <= quiz::kRegionCount);
                const bool isLand = here != 0 && uniform(x, y, here, 3, 3);
                const bool isSea = here == 0 && uniform(x, y, 0, 12, 10);
                for (const QRgb c : {map.pixel(x, y), meanColour(map2x, QPoint(2 * x, 2 * y), 1)})
                    if ((isLand && isGrey(c, 13)) || (isSea && !isGrey(c, 6))) // JPEG ringing near the coast
                        QFAIL(qPrintable(QStringLiteral("(%1, %2) of region %3 is %4 at one density")
                                             .arg(x).arg(y).arg(here).arg(QColor(c).name())));
                land += isLand, sea += isSea;
            }
        QVERIFY2(land > 20000 && sea > 100000, qPrintable(QStringLiteral("%1 land, %2 sea").arg(land).arg(sea)));
    }

    // Each hotspot's centre lies on its own region, more than 3 pixels from any other, and at
    // least 90% of the land under it is the region's own; every region has at least 100 pixels
    // under its own hotspots.
    void hotspotsOnTheirRegions()
    {
        for (const quiz::Hotspot &h : quiz::kHotspots) {
            const QRect r = hotspotPixels(h.label);
            const QString where = QStringLiteral("Label%1 ").arg(h.label);
            for (int dy = -3; dy <= 3; ++dy)
                for (int dx = -3; dx <= 3; ++dx)
                    QVERIFY2(dx * dx + dy * dy > 9 || label(r.center().x() + dx, r.center().y() + dy) == h.region,
                             qPrintable(where + "is not centred on its region"));
            int land = 0, own = 0;
            for (int y = r.top(); y <= r.bottom(); ++y)
                for (int x = r.left(); x <= r.right(); ++x)
                    land += label(x, y) != 0, own += label(x, y) == h.region;
            QVERIFY2(own >= 0.9 * land, qPrintable(where + QStringLiteral("%1 of %2 land pixels are its own").arg(own).arg(land)));
        }
        std::array<int, 256> under{};
        for (int y = 0; y < labels.height(); ++y)
            for (int x = 0; x < labels.width(); ++x)
                under[label(x, y)] += std::any_of(quiz::kHotspots.begin(), quiz::kHotspots.end(), [&](quiz::Hotspot h) {
                    return h.region == label(x, y) && hotspotPixels(h.label).contains(x, y);
                });
        for (int region = 1; region <= quiz::kRegionCount; ++region)
            QVERIFY2(under[region] >= 100, qPrintable(QStringLiteral("region %1: %2").arg(region).arg(under[region])));
    }

    // The colours a pupil is told about, at both densities: the red of Toscana, the peach of Sardegna.
    void regionColours()
    {
        const auto within = [](QColor c, QColor low, QColor high) {
            return c.red() >= low.red() && c.green() >= low.green() && c.blue() >= low.blue() && c.red() <= high.red()
                   && c.green() <= high.green() && c.blue() <= high.blue();
        };
        const struct { int label; QColor low, high; } rows[] = {{3, {180, 0, 0}, {255, 90, 90}},
                                                                {4, {180, 0, 0}, {255, 90, 90}},
                                                                {40, {225, 170, 120}, {255, 230, 200}}};
        for (const auto &row : rows)
            for (int scale : {1, 2}) {
                const QColor c = meanColour(scale == 1 ? map : map2x, hotspotPixels(row.label, scale).center(), 2 * scale);
                QVERIFY2(within(c, row.low, row.high), qPrintable(QStringLiteral("Label%1 at scale %2: %3")
                                                                      .arg(row.label).arg(scale).arg(c.name())));
            }
    }

    void flag_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("scale");
        QTest::newRow("flag") << "flag.png" << 1;
        QTest::newRow("flag@2x") << "flag@2x.png" << 2;
        QTest::newRow("desktop icon") << "zefirana.png" << 8;
        QTest::newRow("Windows icon") << "flag.ico" << 1;
    }

    // Every pixel as described; transparent ones are compared by their alpha alone.
    void flag()
    {
        QFETCH(QString, file);
        QFETCH(int, scale);
        const QImage image = picture(file);
        QCOMPARE(image.size(), QSize(32 * scale, 32 * scale));
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QRgb actual = image.pixel(x, y), expected = expectedFlagPixel(x / scale, y / scale);
                if (qAlpha(expected) == 0 ? qAlpha(actual) != 0 : actual != expected)
                    QFAIL(qPrintable(QStringLiteral("pixel (%1, %2) is %3, expected %4")
                                         .arg(x).arg(y).arg(actual, 8, 16).arg(expected, 8, 16)));
            }
    }

    // 32 by 32 pixels, and 64 by 64 at double density, partly transparent; the two densities
    // cover the same pixels.
    void smallPictures()
    {
        for (const char *name : {"winged", "globe", "car", "sphere", "stophand"}) {
            const QImage one = picture(name + QStringLiteral(".png")), two = picture(name + QStringLiteral("@2x.png"));
            QCOMPARE(one.size(), QSize(32, 32));
            QCOMPARE(two.size(), QSize(64, 64));
            const QImage half = two.scaled(32, 32, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            int transparent = 0, transparent2x = 0, opaque = 0, difference = 0;
            for (int y = 0; y < 32; ++y)
                for (int x = 0; x < 32; ++x) {
                    const int alpha = qAlpha(one.pixel(x, y)), alpha2x = qAlpha(half.pixel(x, y));
                    transparent += alpha == 0, opaque += alpha == 255, transparent2x += alpha2x == 0;
                    difference += std::abs(alpha2x - alpha);
                }
            QVERIFY2(transparent >= 32 && transparent2x >= 32 && opaque >= 200 && difference < 16 * 1024,
                     qPrintable(QStringLiteral("%1: transparent %2 (2x: %3), opaque %4, alpha differs by %5").arg(name)
                                    .arg(transparent).arg(transparent2x).arg(opaque).arg(difference / 1024.0)));
        }
    }
};

QTEST_MAIN(TestPictures)
#include "tst_pictures.moc"
