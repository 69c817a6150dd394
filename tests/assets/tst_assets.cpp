// The assets as shipped: the tricolour flag pixel by pixel (also as the desktop and Windows
// icons), and the 21 spoken cues in regione/: one for every name the catalogue plays, under that
// very name, each a short word the program's own reader accepts, all in one format.
// Where the hotspots lie on the map, and the cues' loudness and trimming, are checked where
// those are made (tools/map, tools/voices); tst_window checks every hotspot against the map's
// label picture.

#include "quiz/regions.h"
#include "sound/wavreader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QtTest>

namespace {

QString sourcePath(const QString &name) { return qEnvironmentVariable("ZEFIRANA_SOURCE_DIR") + u'/' + name; }

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
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

class TestAssets : public QObject
{
    Q_OBJECT

private slots:
    void flag_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("scale");
        QTest::newRow("flag") << "flag.png" << 1;
        QTest::newRow("flag@2x") << "flag@2x.png" << 2;
        QTest::newRow("desktop icon") << "zefirana.png" << 8;
        QTest::newRow("Windows icon") << "flag.ico" << 1;
    }

    // Every pixel as described; premultiplied, a transparent pixel is 0 whatever its colour.
    void flag()
    {
        QFETCH(QString, file);
        QFETCH(int, scale);
        const QImage image =
            QImage(sourcePath("resources/" + file)).convertToFormat(QImage::Format_ARGB32_Premultiplied);
        QCOMPARE(image.size(), QSize(32 * scale, 32 * scale));
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                QVERIFY2(image.pixel(x, y) == expectedFlagPixel(x / scale, y / scale),
                         qPrintable(QStringLiteral("pixel (%1, %2) is %3").arg(x).arg(y).arg(image.pixel(x, y), 8, 16)));
    }

    void cues()
    {
        QStringList names{quiz::kPraiseCue.toString()};
        for (const quiz::Region &r : quiz::kRegions)
            names << r.cue.toString();
        std::optional<sound::Pcm> first;
        for (const QString &name : names) {
            // The exact name, letter case included ("Toscana.wav" is lost on a case-sensitive system).
            const QFileInfo info(sourcePath(name));
            QVERIFY2(info.dir().entryList(QDir::Files).contains(info.fileName()), qPrintable(name + " is missing"));
            const auto pcm = sound::readWav(readFile(info.filePath()));
            QVERIFY2(pcm, qPrintable(name + ": not a WAV file the program can play"));
            // One format for all, so that the output is never reopened for a new rate.
            first = first ? first : pcm;
            QVERIFY2(pcm->channels == first->channels && pcm->sampleRate == first->sampleRate
                         && pcm->bitsPerSample == first->bitsPerSample, qPrintable(name + " differs in format"));
            const double bytesPerSecond = pcm->bitsPerSample / 8.0 * pcm->channels * pcm->sampleRate;
            const double seconds = pcm->samples.size() / bytesPerSecond;
            QVERIFY2(seconds >= 0.3 && seconds <= 3.0, qPrintable(name + QStringLiteral(": %1 s").arg(seconds)));
        }
    }
};

QTEST_MAIN(TestAssets)
#include "tst_assets.moc"
