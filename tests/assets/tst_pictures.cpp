// The pictures as shipped in resources/: the map of Italy (its file format, its grey ground,
// every hotspot on its own region), the tricolour flag pixel by pixel (also as a Windows icon),
// and the small pointer and button pictures.

#include "quiz/hotspots.h"
#include "quiz/regions.h"
#include "ui/twips.h"

#include <QFile>
#include <QImage>
#include <QtEndian>
#include <QtTest>
#include <algorithm>
#include <cmath>

namespace {

QString resourcePath(const QString &name)
{
    return qEnvironmentVariable("ZEFIRANA_SOURCE_DIR") + QStringLiteral("/resources/") + name;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The program carries the files of resources/ as they are in the source tree.
bool compiledAsInSource(const QString &name)
{
    return readFile(QStringLiteral(":/pictures/") + name) == readFile(resourcePath(name));
}

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

// The JFIF header and the frame header of a JPEG file, in words.
QString describeJpeg(const QByteArray &b)
{
    const auto *p = reinterpret_cast<const uchar *>(b.constData());
    if (b.size() < 20 || !b.startsWith("\xFF\xD8\xFF\xE0") || b.mid(6, 5) != QByteArray("JFIF", 5))
        return QStringLiteral("no JFIF header first");
    QString s = QStringLiteral("JFIF %1.%2, units %3, %4x%5; ").arg(p[11]).arg(p[12], 2, 10, QLatin1Char('0'))
                    .arg(p[13]).arg(qFromBigEndian<quint16>(p + 14)).arg(qFromBigEndian<quint16>(p + 16));
    for (qsizetype pos = 2; pos + 4 <= b.size() && p[pos] == 0xFF;
         pos += 2 + qFromBigEndian<quint16>(p + pos + 2)) {
        const int m = p[pos + 1];
        if (m < 0xC0 || m > 0xCF || m == 0xC4 || m == 0xC8 || m == 0xCC || pos + 10 > b.size()
            || pos + 10 + 3 * p[pos + 9] > b.size())
            continue;
        const uchar *f = p + pos + 4;
        s += QStringLiteral("SOF%1 %2-bit %3x%4").arg(m - 0xC0).arg(f[0])
                 .arg(qFromBigEndian<quint16>(f + 3)).arg(qFromBigEndian<quint16>(f + 1));
        for (int i = 0; i < f[5]; ++i)
            s += QStringLiteral(" %1x%2").arg(f[7 + 3 * i] >> 4).arg(f[7 + 3 * i] & 15);
        return s;
    }
    return s + QStringLiteral("no frame header");
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
        map = QImage(resourcePath("map.jpg")).convertToFormat(QImage::Format_RGB32);
        map2x = QImage(resourcePath("map@2x.jpg")).convertToFormat(QImage::Format_RGB32);
        labels = QImage(resourcePath("map-labels.png"));
        QCOMPARE(labels.format(), QImage::Format_Grayscale8);
        QCOMPARE(map.size(), labels.size());
        QCOMPARE(map2x.size(), 2 * labels.size());
    }

    void mapFile_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("header");
        QTest::newRow("map") << "map.jpg" << "JFIF 1.01, units 1, 300x300; SOF0 8-bit 484x499 2x2 1x1 1x1";
        QTest::newRow("map@2x") << "map@2x.jpg" << "JFIF 1.01, units 1, 300x300; SOF0 8-bit 968x998 2x2 1x1 1x1";
    }

    // A baseline JPEG at 300 dots per inch with the colour halved both ways; compiled in as it is.
    void mapFile()
    {
        QFETCH(QString, file);
        QFETCH(QString, header);
        QCOMPARE(describeJpeg(readFile(resourcePath(file))), header);
        QVERIFY2(compiledAsInSource(file), "not compiled in as it is");
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

    void hotspotOnOwnRegion_data()
    {
        QTest::addColumn<int>("label");
        for (const quiz::Hotspot &h : quiz::kHotspots)
            QTest::newRow(qPrintable(QStringLiteral("Label%1").arg(h.label))) << h.label;
    }

    // The centre lies on the hotspot's own region, more than 3 pixels from any other, and at
    // least 90% of the land under the hotspot is the region's own.
    void hotspotOnOwnRegion()
    {
        QFETCH(int, label);
        const int region = quiz::hotspot(label)->region;
        const QRect r = hotspotPixels(label);
        const QPoint c = r.center();
        for (int dy = -3; dy <= 3; ++dy)
            for (int dx = -3; dx <= 3; ++dx)
                QVERIFY2(dx * dx + dy * dy > 9 || this->label(c.x() + dx, c.y() + dy) == region,
                         qPrintable(QStringLiteral("(%1, %2) is not the region's").arg(c.x() + dx).arg(c.y() + dy)));
        int land = 0, own = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                land += this->label(x, y) != 0, own += this->label(x, y) == region;
        QVERIFY2(own >= 0.9 * land, qPrintable(QStringLiteral("%1 of %2 land pixels are its own").arg(own).arg(land)));
    }

    // Every region has at least 100 pixels under its own hotspots.
    void everyRegionClickable()
    {
        std::array<int, 256> under{};
        for (int y = 0; y < labels.height(); ++y)
            for (int x = 0; x < labels.width(); ++x)
                under[label(x, y)] += std::any_of(quiz::kHotspots.begin(), quiz::kHotspots.end(), [&](quiz::Hotspot h) {
                    return h.region == label(x, y) && hotspotPixels(h.label).contains(x, y);
                });
        for (int region = 1; region <= quiz::kRegionCount; ++region)
            QVERIFY2(under[region] >= 100, qPrintable(QStringLiteral("region %1: %2").arg(region).arg(under[region])));
    }

    // The colours a pupil is told about: the red of Toscana, the peach of Sardegna.
    void regionColour_data()
    {
        QTest::addColumn<int>("label");
        QTest::addColumn<QColor>("low");
        QTest::addColumn<QColor>("high");
        QTest::newRow("Label3 Toscana") << 3 << QColor(180, 0, 0) << QColor(255, 90, 90);
        QTest::newRow("Label4 Toscana") << 4 << QColor(180, 0, 0) << QColor(255, 90, 90);
        QTest::newRow("Label40 Sardegna") << 40 << QColor(225, 170, 120) << QColor(255, 230, 200);
    }

    void regionColour()
    {
        QFETCH(int, label);
        QFETCH(QColor, low);
        QFETCH(QColor, high);
        for (int scale : {1, 2}) {
            const QColor c = meanColour(scale == 1 ? map : map2x, hotspotPixels(label, scale).center(), 2 * scale);
            QVERIFY2(c.red() >= low.red() && c.green() >= low.green() && c.blue() >= low.blue()
                         && c.red() <= high.red() && c.green() <= high.green() && c.blue() <= high.blue(),
                     qPrintable(QStringLiteral("scale %1: %2").arg(scale).arg(c.name())));
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
        const QImage image = QImage(resourcePath(file)).convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(image.size(), QSize(32 * scale, 32 * scale));
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QRgb actual = image.pixel(x, y), expected = expectedFlagPixel(x / scale, y / scale);
                if (qAlpha(expected) == 0 ? qAlpha(actual) != 0 : actual != expected)
                    QFAIL(qPrintable(QStringLiteral("pixel (%1, %2) is %3, expected %4")
                                         .arg(x).arg(y).arg(actual, 8, 16).arg(expected, 8, 16)));
            }
    }

    void smallPicture_data()
    {
        QTest::addColumn<QString>("name");
        for (const char *name : {"winged", "globe", "car", "sphere", "stophand", "flag"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }

    // 32 by 32 pixels, and 64 by 64 at double density, partly transparent; the two densities
    // cover the same pixels; both are compiled in.
    void smallPicture()
    {
        QFETCH(QString, name);
        const QImage one = QImage(resourcePath(name + ".png")).convertToFormat(QImage::Format_ARGB32);
        const QImage two = QImage(resourcePath(name + "@2x.png")).convertToFormat(QImage::Format_ARGB32);
        const QImage half = two.scaled(32, 32, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        QCOMPARE(one.size(), QSize(32, 32));
        QCOMPARE(two.size(), QSize(64, 64));
        int transparent = 0, transparent2x = 0, opaque = 0, difference = 0;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) {
                const int alpha = qAlpha(one.pixel(x, y));
                transparent += alpha == 0;
                opaque += alpha == 255;
                transparent2x += qAlpha(half.pixel(x, y)) == 0;
                difference += std::abs(qAlpha(half.pixel(x, y)) - alpha);
            }
        QVERIFY2(transparent >= 32 && transparent2x >= 32 && opaque >= 200,
                 qPrintable(QStringLiteral("transparent %1 (2x: %2), opaque %3")
                                .arg(transparent).arg(transparent2x).arg(opaque)));
        QVERIFY2(difference < 16 * 1024, qPrintable(QStringLiteral("alpha differs by %1").arg(difference / 1024.0)));
        QVERIFY2(compiledAsInSource(name + ".png") && compiledAsInSource(name + "@2x.png"), "not compiled in as it is");
    }
};

QTEST_MAIN(TestPictures)
#include "tst_pictures.moc"
