// The 21 spoken cues as shipped in regione/: one file for every name the catalogue plays,
// each one a WAV file the program's own reader accepts, holding a short spoken word that is
// neither silent nor clipped, trimmed, in one shared format and as loud as the others.

#include "quiz/regions.h"
#include "sound/wavreader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QTest>
#include <cmath>

namespace {

struct Measure
{
    double seconds = 0, rmsDb = 0;
    int clipped = 0;        // samples at the lowest or highest code
    double edgeSilence = 0; // the longer of the silences before and after the speech, in seconds
};

// Silence left at either end delays the name behind its prompt; 10 ms windows quieter than
// 40 dB below the peak count as silence.
Measure measure(const sound::Pcm &pcm)
{
    const auto *b = reinterpret_cast<const uchar *>(pcm.samples.constData());
    const int bytes = pcm.bitsPerSample / 8;
    QList<double> x;
    Measure m;
    double sum = 0, peak = 0;
    for (qsizetype i = 0; i + bytes <= pcm.samples.size(); i += bytes) {
        const int s = bytes == 1 ? (b[i] - 128) * 256 : qint16(b[i] | b[i + 1] << 8);
        m.clipped += s <= -32768 || s >= (bytes == 1 ? 127 * 256 : 32767);
        x.append(s / 32768.0);
        sum += x.last() * x.last();
        peak = std::max(peak, std::abs(x.last()));
    }
    const double perSecond = double(pcm.sampleRate) * pcm.channels;
    m.seconds = x.size() / perSecond;
    m.rmsDb = sum > 0 ? 10 * std::log10(sum / x.size()) : -INFINITY;
    const qsizetype window = pcm.sampleRate / 100 * pcm.channels;
    qsizetype first = -1, last = 0;
    for (qsizetype start = 0; start < x.size(); start += window) {
        const qsizetype end = std::min(start + window, x.size());
        double s = 0;
        for (qsizetype i = start; i < end; ++i)
            s += x[i] * x[i];
        if (std::sqrt(s / (end - start)) >= peak / 100) {
            first = first < 0 ? start : first;
            last = end;
        }
    }
    m.edgeSilence = first < 0 ? m.seconds : std::max(first, x.size() - last) / perSecond;
    return m;
}

} // namespace

class TestVoices : public QObject
{
    Q_OBJECT

    QList<std::pair<QString, sound::Pcm>> cues;

private slots:
    void initTestCase()
    {
        const QString dir = qEnvironmentVariable("ZEFIRANA_SOURCE_DIR");
        QVERIFY2(!dir.isEmpty(), "ZEFIRANA_SOURCE_DIR is not set");
        QStringList names;
        for (const quiz::Region &r : quiz::kRegions)
            names << r.cue.toString();
        names << quiz::kPraiseCue.toString();
        for (const QString &name : names) {
            // The exact name, letter case included ("Toscana.wav" is lost on a case-sensitive system).
            const QFileInfo info(dir + u'/' + name);
            QVERIFY2(info.dir().entryList(QDir::Files).contains(info.fileName()), qPrintable(name + " is missing"));
            QFile file(info.filePath());
            QVERIFY(file.open(QIODevice::ReadOnly));
            const auto pcm = sound::readWav(file.readAll());
            QVERIFY2(pcm, qPrintable(name + ": not a WAV file the program can play"));
            cues.append({name, *pcm});
        }
    }

    void cue_data()
    {
        QTest::addColumn<int>("index");
        for (int i = 0; i < cues.size(); ++i)
            QTest::newRow(qPrintable(cues[i].first)) << i;
    }

    // Speech normalised for a classroom lies around -16 dBFS; below -40 dBFS a cue is not
    // heard over a room's noise.
    void cue()
    {
        QFETCH(int, index);
        const Measure m = measure(cues[index].second);
        const QString figures = QStringLiteral("%1 s, %2 dBFS, %3 samples clipped, %4 s of silence at an end")
                                    .arg(m.seconds).arg(m.rmsDb).arg(m.clipped).arg(m.edgeSilence);
        QVERIFY2(m.seconds >= 0.3 && m.seconds <= 3.0, qPrintable(figures));
        QVERIFY2(m.rmsDb >= -40, qPrintable(figures));
        QVERIFY2(m.clipped == 0, qPrintable(figures));
        QVERIFY2(m.edgeSilence <= 0.1, qPrintable(figures));
    }

    // One format for all, so that the player is never reopened for a new rate; and no more than
    // 3 dB between the loudest and the quietest, or one name is heard shouted and another mumbled.
    void sameFormatAndLoudness()
    {
        const sound::Pcm &first = cues.first().second;
        QMap<double, QString> byLoudness;
        for (const auto &[name, pcm] : cues) {
            QVERIFY2(pcm.channels == first.channels && pcm.sampleRate == first.sampleRate
                         && pcm.bitsPerSample == first.bitsPerSample,
                     qPrintable(name + " differs in format from " + cues.first().first));
            byLoudness.insert(measure(pcm).rmsDb, name);
        }
        const double quietest = byLoudness.firstKey(), loudest = byLoudness.lastKey();
        QVERIFY2(loudest - quietest <= 3.0, qPrintable(QStringLiteral("%1 at %2 dBFS, %3 at %4 dBFS")
                                                           .arg(byLoudness.first()).arg(quietest)
                                                           .arg(byLoudness.last()).arg(loudest)));
    }
};

QTEST_GUILESS_MAIN(TestVoices)
#include "tst_voices.moc"
