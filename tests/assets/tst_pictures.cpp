// The pictures as shipped in resources/: the map of Italy (its file format, its grey ground,
// every hotspot on its own region), the tricolour flag pixel by pixel (also as a Windows icon),
// and the small pointer and button pictures.

#include "quiz/hotspots.h"
#include "ui/hotspotlayout.h"

#include <QByteArray>
#include <QColor>
#include <QFile>
#include <QImage>
#include <QtEndian>
#include <QtTest>

#include <array>
#include <cmath>
#include <cstring>
#include <optional>

namespace {

QString sourceDir()
{
    return qEnvironmentVariable("ZEFIRANA_SOURCE_DIR");
}

QString resourcePath(const QString &name)
{
    return sourceDir() + QStringLiteral("/resources/") + name;
}

QByteArray readResource(const QString &name)
{
    QFile file(resourcePath(name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QImage loadImage(const QString &name)
{
    return QImage(resourcePath(name));
}

// A hotspot's covered map pixels, both ends included, from its rectangle in twips.
struct PixelRect
{
    int x0, y0, x1, y1;
    int cx() const { return (x0 + x1) / 2; }
    int cy() const { return (y0 + y1) / 2; }
};

PixelRect hotspotPixels(int label, int scale = 1)
{
    const ui::TwipsRect r = ui::kHotspotRects[static_cast<std::size_t>(label - 1)];
    return {r.left / 15 * scale, r.top / 15 * scale, (r.left + r.width) / 15 * scale - 1,
            (r.top + r.height) / 15 * scale - 1};
}

int regionOf(int label)
{
    return quiz::hotspot(label)->region;
}

bool near(QRgb c, int r, int g, int b, int tolerance)
{
    return std::abs(qRed(c) - r) <= tolerance && std::abs(qGreen(c) - g) <= tolerance
        && std::abs(qBlue(c) - b) <= tolerance;
}

// Mean colour of a square of side 2*half+1 around (x, y).
QColor meanColour(const QImage &image, int x, int y, int half)
{
    long r = 0, g = 0, b = 0, n = 0;
    for (int yy = y - half; yy <= y + half; ++yy)
        for (int xx = x - half; xx <= x + half; ++xx) {
            const QRgb c = image.pixel(xx, yy);
            r += qRed(c);
            g += qGreen(c);
            b += qBlue(c);
            ++n;
        }
    return QColor(int(r / n), int(g / n), int(b / n));
}

// The flag as described: rows 0-5 and 26-31 transparent, rows 6 and 25 black, and in rows
// 7-24 a black column at each side around green, white and red stripes of ten columns.
QRgb expectedFlagPixel(int x, int y)
{
    if (y < 6 || y > 25)
        return qRgba(0, 0, 0, 0);
    if (y == 6 || y == 25 || x == 0 || x == 31)
        return qRgb(0, 0, 0);
    if (x <= 10)
        return qRgb(0, 128, 0);
    if (x <= 20)
        return qRgb(255, 255, 255);
    return qRgb(255, 0, 0);
}

// Compares transparent pixels by their alpha alone.
bool sameFlagPixel(QRgb actual, QRgb expected)
{
    if (qAlpha(expected) == 0)
        return qAlpha(actual) == 0;
    return actual == expected;
}

struct JpegFrame
{
    bool jfif = false;
    int jfifVersion = 0;
    int densityUnits = -1;
    int xDensity = 0, yDensity = 0;
    int frameMarker = 0; // 0xC0 baseline, 0xC2 progressive, ...
    int precision = 0, height = 0, width = 0;
    QList<std::array<int, 2>> components; // id, sampling byte
};

// Walks the marker segments of a JPEG file up to its first frame header.
std::optional<JpegFrame> readJpegFrame(const QByteArray &bytes)
{
    const auto *p = reinterpret_cast<const uchar *>(bytes.constData());
    const qsizetype n = bytes.size();
    if (n < 4 || p[0] != 0xFF || p[1] != 0xD8)
        return std::nullopt;
    JpegFrame frame;
    qsizetype pos = 2;
    bool first = true;
    while (pos + 4 <= n) {
        if (p[pos] != 0xFF)
            return std::nullopt;
        const int marker = p[pos + 1];
        const int length = qFromBigEndian<quint16>(p + pos + 2);
        if (length < 2 || pos + 2 + length > n)
            return std::nullopt;
        const uchar *seg = p + pos + 4;
        if (marker == 0xE0 && first && length >= 16 && std::memcmp(seg, "JFIF\0", 5) == 0) {
            frame.jfif = true;
            frame.jfifVersion = seg[5] * 256 + seg[6];
            frame.densityUnits = seg[7];
            frame.xDensity = qFromBigEndian<quint16>(seg + 8);
            frame.yDensity = qFromBigEndian<quint16>(seg + 10);
        }
        first = false;
        const bool sof = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8
                         && marker != 0xCC;
        if (sof) {
            frame.frameMarker = marker;
            frame.precision = seg[0];
            frame.height = qFromBigEndian<quint16>(seg + 1);
            frame.width = qFromBigEndian<quint16>(seg + 3);
            const int count = seg[5];
            if (length < 8 + 3 * count)
                return std::nullopt;
            for (int i = 0; i < count; ++i)
                frame.components.append({seg[6 + 3 * i], seg[7 + 3 * i]});
            return frame;
        }
        pos += 2 + length;
    }
    return std::nullopt;
}

// Euclidean distance from (x, y) to the nearest pixel of the label image not equal to
// `region`, searched up to `limit` pixels.
double distanceToOther(const QImage &labels, int x, int y, int region, int limit)
{
    double best = limit;
    for (int dy = -limit; dy <= limit; ++dy)
        for (int dx = -limit; dx <= limit; ++dx) {
            const int xx = x + dx, yy = y + dy;
            const bool other = xx < 0 || yy < 0 || xx >= labels.width() || yy >= labels.height()
                               || labels.constScanLine(yy)[xx] != region;
            if (other)
                best = std::min(best, std::hypot(dx, dy));
        }
    return best;
}

} // namespace

class TestPictures : public QObject
{
    Q_OBJECT

    QImage map;
    QImage map2x;
    QImage labels;

private slots:
    void initTestCase()
    {
        QVERIFY2(!sourceDir().isEmpty(), "ZEFIRANA_SOURCE_DIR must name the source tree");
        map = loadImage(QStringLiteral("map.jpg")).convertToFormat(QImage::Format_RGB32);
        map2x = loadImage(QStringLiteral("map@2x.jpg")).convertToFormat(QImage::Format_RGB32);
        labels = loadImage(QStringLiteral("map-labels.png"));
        QVERIFY2(!map.isNull(), "resources/map.jpg cannot be read");
        QVERIFY2(!map2x.isNull(), "resources/map@2x.jpg cannot be read");
        QVERIFY2(!labels.isNull(), "resources/map-labels.png cannot be read");
    }

    // ------------------------------------------------------------ the map's file

    void mapFileFormat_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("maxBytes");
        QTest::newRow("map") << QStringLiteral("map.jpg") << 484 << 499 << 64 * 1024;
        QTest::newRow("map@2x") << QStringLiteral("map@2x.jpg") << 968 << 998 << 256 * 1024;
    }

    void mapFileFormat()
    {
        QFETCH(QString, file);
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, maxBytes);
        const QByteArray bytes = readResource(file);
        QVERIFY(!bytes.isEmpty());
        QVERIFY2(bytes.size() <= maxBytes, qPrintable(QString::number(bytes.size())));
        const auto frame = readJpegFrame(bytes);
        QVERIFY2(frame.has_value(), "no JPEG frame header found");
        QVERIFY2(frame->jfif, "the first segment is not a JFIF APP0");
        QCOMPARE(frame->jfifVersion, 0x0101);
        QCOMPARE(frame->densityUnits, 1); // dots per inch
        QCOMPARE(frame->xDensity, 300);
        QCOMPARE(frame->yDensity, 300);
        QCOMPARE(frame->frameMarker, 0xC0); // baseline, not progressive
        QCOMPARE(frame->precision, 8);
        QCOMPARE(frame->width, width);
        QCOMPARE(frame->height, height);
        QCOMPARE(frame->components.size(), 3);
        QCOMPARE(frame->components[0][1], 0x22); // luma full resolution
        QCOMPARE(frame->components[1][1], 0x11); // chroma halved both ways
        QCOMPARE(frame->components[2][1], 0x11);
    }

    void mapDecodes()
    {
        QCOMPARE(map.size(), QSize(484, 499));
        QCOMPARE(map2x.size(), QSize(968, 998));
        QCOMPARE(labels.size(), QSize(484, 499));
        QCOMPARE(labels.format(), QImage::Format_Grayscale8);
    }

    // ------------------------------------------------------------ the map's ground

    // Areas that must be plain window grey: the heading band, the car button, open sea.
    void seaAreas_data()
    {
        QTest::addColumn<QRect>("area");
        QTest::newRow("heading band") << QRect(0, 0, 484, 32);
        QTest::newRow("car button") << QRect(368, 32, 89, 98);
        QTest::newRow("sea west of the mainland") << QRect(92, 240, 17, 17);
        QTest::newRow("left edge") << QRect(0, 0, 40, 499);
        QTest::newRow("lower left corner") << QRect(0, 440, 180, 59);
        QTest::newRow("upper right corner") << QRect(456, 0, 28, 200);
    }

    void seaAreas()
    {
        QFETCH(QRect, area);
        for (int scale : {1, 2}) {
            const QImage &image = scale == 1 ? map : map2x;
            for (int y = area.top() * scale; y <= area.bottom() * scale + scale - 1; ++y)
                for (int x = area.left() * scale; x <= area.right() * scale + scale - 1; ++x) {
                    const QRgb c = image.pixel(x, y);
                    if (!near(c, 192, 192, 192, 3))
                        QFAIL(qPrintable(QStringLiteral("scale %1: pixel (%2, %3) is %4, not grey")
                                             .arg(scale)
                                             .arg(x)
                                             .arg(y)
                                             .arg(QColor(c).name())));
                }
            if (scale == 1)
                for (int y = area.top(); y <= area.bottom(); ++y)
                    for (int x = area.left(); x <= area.right(); ++x)
                        QCOMPARE(int(labels.constScanLine(y)[x]), 0);
        }
    }

    // Labelled land is coloured, and open sea (away from the coast and from the shadow to the
    // lower right of the land) is grey: the label image and the picture show the same map.
    void labelsMatchPicture()
    {
        const auto uniformAround = [this](int x, int y, int value, int left, int up, int right, int down) {
            for (int dy = -up; dy <= down; ++dy)
                for (int dx = -left; dx <= right; ++dx)
                    if (labels.constScanLine(y + dy)[x + dx] != value)
                        return false;
            return true;
        };
        int land = 0, sea = 0;
        for (int y = 12; y < labels.height() - 12; ++y)
            for (int x = 12; x < labels.width() - 12; ++x) {
                const int here = labels.constScanLine(y)[x];
                const QColor c = meanColour(map, x, y, 0);
                if (here != 0 && uniformAround(x, y, here, 3, 3, 3, 3)) {
                    ++land;
                    const int distance = std::abs(c.red() - 192) + std::abs(c.green() - 192)
                                         + std::abs(c.blue() - 192);
                    if (distance < 40)
                        QFAIL(qPrintable(QStringLiteral("land pixel (%1, %2) of region %3 is grey %4")
                                             .arg(x)
                                             .arg(y)
                                             .arg(here)
                                             .arg(c.name())));
                } else if (here == 0 && uniformAround(x, y, 0, 12, 12, 10, 10)) {
                    ++sea;
                    if (!near(c.rgb(), 192, 192, 192, 6)) // JPEG ringing near the coast
                        QFAIL(qPrintable(QStringLiteral("sea pixel (%1, %2) is %3").arg(x).arg(y).arg(c.name())));
                }
            }
        // most of the map is compared: the land's interior and the open sea
        QVERIFY2(land > 20000, qPrintable(QString::number(land)));
        QVERIFY2(sea > 100000, qPrintable(QString::number(sea)));
    }

    void labelValues()
    {
        std::array<int, 256> count{};
        for (int y = 0; y < labels.height(); ++y)
            for (int x = 0; x < labels.width(); ++x)
                ++count[labels.constScanLine(y)[x]];
        for (int v = quiz::kRegionCount + 1; v < 256; ++v)
            QCOMPARE(count[v], 0);
        for (int region = 1; region <= quiz::kRegionCount; ++region)
            QVERIFY2(count[region] >= 150, qPrintable(QStringLiteral("region %1 has %2 pixels").arg(region).arg(count[region])));
        // the heading band above row 33 holds no land
        for (int x = 0; x < labels.width(); ++x)
            for (int y = 0; y < 33; ++y)
                QCOMPARE(int(labels.constScanLine(y)[x]), 0);
    }

    // ------------------------------------------------------------ hotspots on their regions

    void hotspotOnOwnRegion_data()
    {
        QTest::addColumn<int>("label");
        for (const quiz::Hotspot &h : quiz::kHotspots)
            QTest::newRow(qPrintable(QStringLiteral("Label%1").arg(h.label))) << h.label;
    }

    void hotspotOnOwnRegion()
    {
        QFETCH(int, label);
        const int region = regionOf(label);
        const PixelRect r = hotspotPixels(label);
        QCOMPARE(int(labels.constScanLine(r.cy())[r.cx()]), region);
        const double margin = distanceToOther(labels, r.cx(), r.cy(), region, 8);
        QVERIFY2(margin > 3.0, qPrintable(QStringLiteral("centre only %1 px inside").arg(margin)));
        int land = 0, own = 0;
        for (int y = r.y0; y <= r.y1; ++y)
            for (int x = r.x0; x <= r.x1; ++x) {
                const int v = labels.constScanLine(y)[x];
                land += v != 0;
                own += v == region;
            }
        QVERIFY(land > 0);
        QVERIFY2(own >= 0.9 * land, qPrintable(QStringLiteral("%1 of %2 land pixels own").arg(own).arg(land)));
    }

    void everyRegionUnderItsHotspots_data()
    {
        QTest::addColumn<int>("region");
        for (int region = 1; region <= quiz::kRegionCount; ++region)
            QTest::newRow(qPrintable(quiz::region(quiz::RegionNumber(region))->name.toString())) << region;
    }

    void everyRegionUnderItsHotspots()
    {
        QFETCH(int, region);
        QImage covered(labels.size(), QImage::Format_Grayscale8);
        covered.fill(0);
        int hotspots = 0;
        for (const quiz::Hotspot &h : quiz::kHotspots) {
            if (h.region != region)
                continue;
            ++hotspots;
            const PixelRect r = hotspotPixels(h.label);
            for (int y = r.y0; y <= r.y1; ++y)
                for (int x = r.x0; x <= r.x1; ++x)
                    covered.scanLine(y)[x] = 1;
        }
        QVERIFY(hotspots > 0);
        int under = 0;
        for (int y = 0; y < labels.height(); ++y)
            for (int x = 0; x < labels.width(); ++x)
                under += covered.constScanLine(y)[x] && labels.constScanLine(y)[x] == region;
        QVERIFY2(under >= 100, qPrintable(QStringLiteral("%1 pixels of the region are clickable").arg(under)));
    }

    // The colours a pupil is told about: the red of Toscana, the peach of Sardegna.
    void regionColourUnderHotspot_data()
    {
        QTest::addColumn<int>("label");
        QTest::addColumn<QString>("colour");
        QTest::newRow("Label3 Toscana") << 3 << QStringLiteral("red");
        QTest::newRow("Label4 Toscana") << 4 << QStringLiteral("red");
        QTest::newRow("Label40 Sardegna") << 40 << QStringLiteral("peach");
    }

    void regionColourUnderHotspot()
    {
        QFETCH(int, label);
        QFETCH(QString, colour);
        for (int scale : {1, 2}) {
            const PixelRect r = hotspotPixels(label, scale);
            const QColor c = meanColour(scale == 1 ? map : map2x, r.cx(), r.cy(), 2 * scale);
            const QString what = QStringLiteral("scale %1: %2").arg(scale).arg(c.name());
            if (colour == QLatin1String("red"))
                QVERIFY2(c.red() >= 180 && c.green() <= 90 && c.blue() <= 90, qPrintable(what));
            else
                QVERIFY2(c.red() >= 225 && c.green() >= 170 && c.green() <= 230 && c.blue() >= 120
                             && c.blue() <= 200 && c.red() > c.green() && c.green() > c.blue(),
                         qPrintable(what));
        }
    }

    // The high-density map shows the same regions in the same places.
    void doubleSizeMapAgrees()
    {
        int compared = 0, differ = 0;
        for (int y = 4; y < labels.height() - 4; y += 3)
            for (int x = 4; x < labels.width() - 4; x += 3) {
                const int here = labels.constScanLine(y)[x];
                bool uniform = true;
                for (int dy = -2; dy <= 2 && uniform; ++dy)
                    for (int dx = -2; dx <= 2 && uniform; ++dx)
                        uniform = labels.constScanLine(y + dy)[x + dx] == here;
                if (!uniform)
                    continue;
                const QColor a = meanColour(map, x, y, 1);
                const QColor b = meanColour(map2x, 2 * x, 2 * y, 2);
                ++compared;
                const int d = std::abs(a.red() - b.red()) + std::abs(a.green() - b.green())
                              + std::abs(a.blue() - b.blue());
                differ += d > 60;
            }
        QVERIFY(compared > 10000);
        QVERIFY2(differ <= compared / 100, qPrintable(QStringLiteral("%1 of %2 differ").arg(differ).arg(compared)));
    }

    // ------------------------------------------------------------ the flag

    void flagPixels_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("scale");
        QTest::newRow("flag") << QStringLiteral("flag.png") << 1;
        QTest::newRow("flag@2x") << QStringLiteral("flag@2x.png") << 2;
        QTest::newRow("desktop icon") << QStringLiteral("zefirana.png") << 8;
    }

    void flagPixels()
    {
        QFETCH(QString, file);
        QFETCH(int, scale);
        const QImage image = loadImage(file).convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(image.size(), QSize(32 * scale, 32 * scale));
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QRgb expected = expectedFlagPixel(x / scale, y / scale);
                if (!sameFlagPixel(image.pixel(x, y), expected))
                    QFAIL(qPrintable(QStringLiteral("pixel (%1, %2) is %3, expected %4")
                                         .arg(x)
                                         .arg(y)
                                         .arg(image.pixel(x, y), 8, 16)
                                         .arg(expected, 8, 16)));
            }
    }

    // The Windows icon: one 32 x 32 image, 4 bits per pixel with the standard 16 colours,
    // and an AND mask for the transparent rows.
    void flagIcon()
    {
        const QByteArray bytes = readResource(QStringLiteral("flag.ico"));
        QCOMPARE(bytes.size(), 766);
        const auto *p = reinterpret_cast<const uchar *>(bytes.constData());
        const auto u16 = [p](int at) { return int(qFromLittleEndian<quint16>(p + at)); };
        const auto u32 = [p](int at) { return qFromLittleEndian<quint32>(p + at); };
        QCOMPARE(u16(0), 0); // reserved
        QCOMPARE(u16(2), 1); // icon
        QCOMPARE(u16(4), 1); // one image
        QCOMPARE(int(p[6]), 32);
        QCOMPARE(int(p[7]), 32);
        QCOMPARE(int(p[8]), 16);
        QCOMPARE(u16(10), 1);
        QCOMPARE(u16(12), 4);
        QCOMPARE(u32(14), 744u);
        QCOMPARE(u32(18), 22u);

        const uchar *bmp = p + 22;
        const auto b16 = [bmp](int at) { return int(qFromLittleEndian<quint16>(bmp + at)); };
        const auto b32 = [bmp](int at) { return qFromLittleEndian<qint32>(bmp + at); };
        QCOMPARE(b32(0), 40);
        QCOMPARE(b32(4), 32);
        QCOMPARE(b32(8), 64); // colour image and mask
        QCOMPARE(b16(12), 1);
        QCOMPARE(b16(14), 4);
        QCOMPARE(b32(16), 0); // uncompressed

        static constexpr std::array<QRgb, 16> standard{
            qRgb(0, 0, 0),       qRgb(128, 0, 0),   qRgb(0, 128, 0),   qRgb(128, 128, 0),
            qRgb(0, 0, 128),     qRgb(128, 0, 128), qRgb(0, 128, 128), qRgb(192, 192, 192),
            qRgb(128, 128, 128), qRgb(255, 0, 0),   qRgb(0, 255, 0),   qRgb(255, 255, 0),
            qRgb(0, 0, 255),     qRgb(255, 0, 255), qRgb(0, 255, 255), qRgb(255, 255, 255)};
        const uchar *palette = bmp + 40;
        for (int i = 0; i < 16; ++i) {
            const uchar *e = palette + 4 * i;
            QCOMPARE(qRgb(e[2], e[1], e[0]), standard[i]);
        }
        const uchar *xorBits = palette + 64;
        const uchar *andBits = xorBits + 512;
        for (int y = 0; y < 32; ++y) {
            const int row = 31 - y; // stored bottom-up
            for (int x = 0; x < 32; ++x) {
                const uchar pair = xorBits[row * 16 + x / 2];
                const int index = x % 2 == 0 ? pair >> 4 : pair & 0x0F;
                const bool transparent = (andBits[row * 4 + x / 8] >> (7 - x % 8)) & 1;
                const QRgb actual = transparent ? qRgba(0, 0, 0, 0) : standard[index];
                if (!sameFlagPixel(actual, expectedFlagPixel(x, y)))
                    QFAIL(qPrintable(QStringLiteral("icon pixel (%1, %2)").arg(x).arg(y)));
            }
        }
    }

    // ------------------------------------------------------------ the small pictures

    void smallPictures_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("colours"); // hue families that must be well represented
        QTest::newRow("winged") << QStringLiteral("winged") << QStringLiteral("green");
        QTest::newRow("globe") << QStringLiteral("globe") << QStringLiteral("blue green");
        QTest::newRow("car") << QStringLiteral("car") << QStringLiteral("blue");
        QTest::newRow("sphere") << QStringLiteral("sphere") << QStringLiteral("blue");
        QTest::newRow("stophand") << QStringLiteral("stophand") << QStringLiteral("red skin");
        QTest::newRow("flag") << QStringLiteral("flag") << QStringLiteral("green red");
    }

    void smallPictures()
    {
        QFETCH(QString, name);
        QFETCH(QString, colours);
        const QImage one = loadImage(name + QStringLiteral(".png"));
        const QImage two = loadImage(name + QStringLiteral("@2x.png"));
        QVERIFY(!one.isNull());
        QVERIFY(!two.isNull());
        QCOMPARE(one.size(), QSize(32, 32));
        QCOMPARE(two.size(), QSize(64, 64));
        QVERIFY(one.hasAlphaChannel());
        QVERIFY(two.hasAlphaChannel());

        const QImage a = one.convertToFormat(QImage::Format_ARGB32);
        int transparent = 0, opaque = 0;
        QMap<QString, int> family;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) {
                const QRgb c = a.pixel(x, y);
                transparent += qAlpha(c) == 0;
                if (qAlpha(c) < 255)
                    continue;
                ++opaque;
                const int r = qRed(c), g = qGreen(c), b = qBlue(c);
                if (b > r + 40 && b > g + 20)
                    ++family[QStringLiteral("blue")];
                if (g > r + 30 && g > b + 20)
                    ++family[QStringLiteral("green")];
                if (r > g + 80 && r > b + 80)
                    ++family[QStringLiteral("red")];
                if (r > 200 && g > 150 && g < 230 && b > 100 && b < 200 && r > g && g > b)
                    ++family[QStringLiteral("skin")];
            }
        QVERIFY2(transparent >= 32, qPrintable(QString::number(transparent)));
        QVERIFY2(opaque >= 200, qPrintable(QString::number(opaque)));
        for (const QString &f : colours.split(QLatin1Char(' ')))
            QVERIFY2(family.value(f) * 10 >= opaque,
                     qPrintable(QStringLiteral("%1: %2 of %3 opaque pixels").arg(f).arg(family.value(f)).arg(opaque)));

        // the two densities show the same picture: their coverage agrees pixel by pixel
        const QImage b = two.convertToFormat(QImage::Format_ARGB32);
        double difference = 0;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) {
                const int mean = (qAlpha(b.pixel(2 * x, 2 * y)) + qAlpha(b.pixel(2 * x + 1, 2 * y))
                                  + qAlpha(b.pixel(2 * x, 2 * y + 1)) + qAlpha(b.pixel(2 * x + 1, 2 * y + 1)))
                                 / 4;
                difference += std::abs(mean - qAlpha(a.pixel(x, y)));
            }
        QVERIFY2(difference / 1024 < 16, qPrintable(QString::number(difference / 1024)));
    }

    // The program carries the files of resources/ as they are in the source tree.
    void compiledIn_data()
    {
        QTest::addColumn<QString>("file");
        for (const char *f : {"map.jpg", "map@2x.jpg", "flag.png", "flag@2x.png", "winged.png", "winged@2x.png",
                              "globe.png", "globe@2x.png", "car.png", "car@2x.png", "sphere.png",
                              "sphere@2x.png", "stophand.png", "stophand@2x.png"})
            QTest::newRow(f) << QString::fromLatin1(f);
    }

    void compiledIn()
    {
        QFETCH(QString, file);
        QFile compiled(QStringLiteral(":/pictures/") + file);
        QVERIFY2(compiled.open(QIODevice::ReadOnly), "not compiled into the program");
        QCOMPARE(compiled.readAll(), readResource(file));
    }
};

QTEST_MAIN(TestPictures)
#include "tst_pictures.moc"
