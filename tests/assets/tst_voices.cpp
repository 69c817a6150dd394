// The 21 spoken cues as shipped in regione/: one file for every name the catalogue
// plays, each one a WAV file the program's own reader accepts, holding a short
// spoken word that is neither silent nor clipped, trimmed, and as loud as the others.

#include "quiz/regions.h"
#include "sound/wavreader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <vector>

namespace {

constexpr double minSeconds = 0.3;
constexpr double maxSeconds = 3.0;
// Speech normalised for a classroom lies around -16 dBFS; a cue below -40 dBFS is
// not heard over a room's noise, and is most likely a failed synthesis.
constexpr double minRmsDb = -40.0;
// The cues play one after another: a difference of more than 3 dB is heard as one
// name shouted and another mumbled.
constexpr double maxLoudnessSpread = 3.0;
// Silence left at either end delays the name behind its prompt, or the praise
// behind "Esatto"; 10 ms windows quieter than 40 dB below the peak count as silence.
constexpr double maxEdgeSilence = 0.1;
constexpr double silenceBelowPeakDb = 40.0;

// Every cue the game plays, as named in the catalogue ('/' separated, below the
// program's folder).
QStringList catalogueCues()
{
    QStringList cues;
    for (const quiz::Region &r : quiz::kRegions)
        cues << r.cue.toString();
    cues << quiz::kPraiseCue.toString();
    return cues;
}

QString sourceDir()
{
    return qEnvironmentVariable("ZEFIRANA_SOURCE_DIR");
}

struct Measure
{
    double seconds = 0;
    double rmsDb = -INFINITY;
    double peak = 0;         // largest magnitude, full scale = 1
    qsizetype atRails = 0;   // samples at the lowest or highest code
    double leadSilence = 0;  // seconds before the first window that is not silent
    double tailSilence = 0;  // seconds after the last one
};

// Samples as fractions of full scale, channels interleaved as in the file.
std::vector<double> toUnit(const sound::Pcm &pcm, qsizetype &atRails)
{
    std::vector<double> out;
    atRails = 0;
    const auto *bytes = reinterpret_cast<const unsigned char *>(pcm.samples.constData());
    if (pcm.bitsPerSample == 8) {
        out.reserve(std::size_t(pcm.samples.size()));
        for (qsizetype i = 0; i < pcm.samples.size(); ++i) {
            const int u = bytes[i];
            atRails += (u == 0 || u == 255);
            out.push_back((u - 128) / 128.0);
        }
    } else {
        out.reserve(std::size_t(pcm.samples.size() / 2));
        for (qsizetype i = 0; i + 1 < pcm.samples.size(); i += 2) {
            const int s = std::int16_t(std::uint16_t(bytes[i] | (bytes[i + 1] << 8)));
            atRails += (s == 32767 || s == -32768);
            out.push_back(s / 32768.0);
        }
    }
    return out;
}

Measure measure(const sound::Pcm &pcm)
{
    Measure m;
    const std::vector<double> x = toUnit(pcm, m.atRails);
    const qsizetype frames = qsizetype(x.size()) / pcm.channels;
    m.seconds = double(frames) / pcm.sampleRate;

    double sum = 0;
    for (double v : x) {
        sum += v * v;
        m.peak = std::max(m.peak, std::abs(v));
    }
    if (!x.empty() && sum > 0)
        m.rmsDb = 10.0 * std::log10(sum / double(x.size()));

    // Loudness of consecutive 10 ms windows, to find where the speech begins and ends.
    const qsizetype window = std::max<qsizetype>(1, pcm.sampleRate / 100) * pcm.channels;
    const double threshold = m.peak * std::pow(10.0, -silenceBelowPeakDb / 20.0);
    std::optional<qsizetype> first, last;
    for (qsizetype start = 0; start < qsizetype(x.size()); start += window) {
        const qsizetype end = std::min(start + window, qsizetype(x.size()));
        double s = 0;
        for (qsizetype i = start; i < end; ++i)
            s += x[std::size_t(i)] * x[std::size_t(i)];
        if (std::sqrt(s / double(end - start)) >= threshold) {
            if (!first)
                first = start;
            last = end;
        }
    }
    const double perSecond = double(pcm.sampleRate) * pcm.channels;
    m.leadSilence = first ? double(*first) / perSecond : m.seconds;
    m.tailSilence = last ? double(qsizetype(x.size()) - *last) / perSecond : m.seconds;
    return m;
}

// Reads one cue through the program's own reader.
std::optional<sound::Pcm> load(const QString &cue, QString *why)
{
    QFile file(sourceDir() + u'/' + cue);
    if (!file.open(QIODevice::ReadOnly)) {
        *why = cue + QStringLiteral(": cannot be opened");
        return std::nullopt;
    }
    auto pcm = sound::readWav(file.readAll());
    if (!pcm)
        *why = cue + QStringLiteral(": not a WAV file the program can play");
    return pcm;
}

} // namespace

class TestVoices : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cue_data();
    void cue();
    void sameFormatAndLoudness();
};

void TestVoices::initTestCase()
{
    QVERIFY2(!sourceDir().isEmpty(), "ZEFIRANA_SOURCE_DIR is not set");
    QVERIFY2(QFileInfo(sourceDir() + QStringLiteral("/regione")).isDir(), "no regione folder in the source tree");
}

void TestVoices::cue_data()
{
    QTest::addColumn<QString>("cue");
    for (const QString &cue : catalogueCues())
        QTest::newRow(qPrintable(QFileInfo(cue).fileName())) << cue;
}

void TestVoices::cue()
{
    QFETCH(QString, cue);

    // The exact name, letter case included: on Windows "Toscana.wav" would be found,
    // but the copy of the folder to a case-sensitive system would lose it.
    const QFileInfo info(sourceDir() + u'/' + cue);
    QVERIFY2(info.dir().entryList(QDir::Files).contains(info.fileName()), qPrintable(cue + QStringLiteral(" is missing")));

    QString why;
    const auto pcm = load(cue, &why);
    QVERIFY2(pcm, qPrintable(why));

    const Measure m = measure(*pcm);
    const QString figures = QStringLiteral("%1: %2 s, %3 dBFS RMS, peak %4, %5 samples at full scale, "
                                           "silence %6 s before and %7 s after")
                                .arg(cue)
                                .arg(m.seconds, 0, 'f', 3)
                                .arg(m.rmsDb, 0, 'f', 2)
                                .arg(m.peak, 0, 'f', 3)
                                .arg(m.atRails)
                                .arg(m.leadSilence, 0, 'f', 3)
                                .arg(m.tailSilence, 0, 'f', 3);
    QVERIFY2(m.seconds >= minSeconds && m.seconds <= maxSeconds, qPrintable(figures));
    QVERIFY2(m.rmsDb >= minRmsDb, qPrintable(figures));
    QVERIFY2(m.atRails == 0, qPrintable(figures));
    QVERIFY2(m.leadSilence <= maxEdgeSilence && m.tailSilence <= maxEdgeSilence, qPrintable(figures));
}

void TestVoices::sameFormatAndLoudness()
{
    struct Level
    {
        QString cue;
        double rmsDb;
    };
    std::vector<Level> levels;
    std::optional<sound::Pcm> first;
    for (const QString &cue : catalogueCues()) {
        QString why;
        const auto pcm = load(cue, &why);
        QVERIFY2(pcm, qPrintable(why));
        // One format for all, so that the player is never reopened for a new rate.
        if (!first)
            first = pcm;
        QVERIFY2(pcm->channels == first->channels && pcm->sampleRate == first->sampleRate
                     && pcm->bitsPerSample == first->bitsPerSample,
                 qPrintable(cue + QStringLiteral(" differs in format from ") + catalogueCues().first()));
        levels.push_back({cue, measure(*pcm).rmsDb});
    }

    const auto [quietest, loudest] = std::minmax_element(levels.begin(), levels.end(),
                                                         [](const Level &a, const Level &b) { return a.rmsDb < b.rmsDb; });
    QVERIFY2(loudest->rmsDb - quietest->rmsDb <= maxLoudnessSpread,
             qPrintable(QStringLiteral("%1 at %2 dBFS and %3 at %4 dBFS")
                            .arg(loudest->cue)
                            .arg(loudest->rmsDb, 0, 'f', 2)
                            .arg(quietest->cue)
                            .arg(quietest->rmsDb, 0, 'f', 2)));
}

QTEST_GUILESS_MAIN(TestVoices)
#include "tst_voices.moc"
