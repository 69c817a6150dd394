// The 21 spoken cues as shipped in regione/: one file for every name the catalogue plays, each
// one a WAV file the program's own reader accepts, holding a short spoken word that is neither
// silent nor clipped, trimmed, in one shared format and as loud as the others.

#include "quiz/regions.h"
#include "sound/wavreader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <cmath>

class TestVoices : public QObject
{
    Q_OBJECT

private slots:
    // Speech normalised for a classroom lies around -16 dBFS: below -40 dBFS a cue is not heard
    // over a room's noise, and more than 3 dB between two cues makes one shouted and one mumbled.
    // Silence left at either end (10 ms windows 40 dB below the peak) delays the name behind its
    // prompt. One format for all, so that the output is never reopened for a new rate.
    void cues()
    {
        QStringList names{quiz::kPraiseCue.toString()};
        for (const quiz::Region &r : quiz::kRegions)
            names << r.cue.toString();
        std::optional<sound::Pcm> first;
        double quietest = INFINITY, loudest = -INFINITY;
        for (const QString &name : names) {
            // The exact name, letter case included ("Toscana.wav" is lost on a case-sensitive system).
            const QFileInfo info(qEnvironmentVariable("ZEFIRANA_SOURCE_DIR") + u'/' + name);
            QVERIFY2(info.dir().entryList(QDir::Files).contains(info.fileName()), qPrintable(name + " is missing"));
            QFile file(info.filePath());
            QVERIFY(file.open(QIODevice::ReadOnly));
            const auto pcm = sound::readWav(file.readAll());
            QVERIFY2(pcm, qPrintable(name + ": not a WAV file the program can play"));
            first = first ? first : pcm;
            QVERIFY2(pcm->channels == first->channels && pcm->sampleRate == first->sampleRate
                         && pcm->bitsPerSample == first->bitsPerSample, qPrintable(name + " differs in format"));

            const auto *b = reinterpret_cast<const uchar *>(pcm->samples.constData());
            const int bytes = pcm->bitsPerSample / 8;
            QList<double> x;
            int clipped = 0;
            double sum = 0, peak = 0;
            for (qsizetype i = 0; i + bytes <= pcm->samples.size(); i += bytes) {
                const int s = bytes == 1 ? (b[i] - 128) * 256 : qint16(b[i] | b[i + 1] << 8);
                clipped += s <= -32768 || s >= (bytes == 1 ? 127 * 256 : 32767);
                x.append(s / 32768.0);
                sum += x.last() * x.last();
                peak = std::max(peak, std::abs(x.last()));
            }
            const double perSecond = double(pcm->sampleRate) * pcm->channels, seconds = x.size() / perSecond;
            const double rmsDb = 10 * std::log10(sum / x.size());
            const qsizetype window = pcm->sampleRate / 100 * pcm->channels;
            qsizetype speechFrom = -1, speechTo = 0;
            for (qsizetype start = 0; start < x.size(); start += window) {
                const qsizetype end = std::min(start + window, x.size());
                double s = 0;
                for (qsizetype i = start; i < end; ++i)
                    s += x[i] * x[i];
                if (std::sqrt(s / (end - start)) >= peak / 100)
                    speechFrom = speechFrom < 0 ? start : speechFrom, speechTo = end;
            }
            const double edgeSilence = speechFrom < 0 ? seconds : std::max(speechFrom, x.size() - speechTo) / perSecond;
            QVERIFY2(seconds >= 0.3 && seconds <= 3.0 && rmsDb >= -40 && clipped == 0 && edgeSilence <= 0.1,
                     qPrintable(QStringLiteral("%1: %2 s, %3 dBFS, %4 samples clipped, %5 s of silence at an end")
                                    .arg(name).arg(seconds).arg(rmsDb).arg(clipped).arg(edgeSilence)));
            quietest = std::min(quietest, rmsDb), loudest = std::max(loudest, rmsDb);
        }
        QVERIFY2(loudest - quietest <= 3.0, qPrintable(QStringLiteral("from %1 to %2 dBFS").arg(quietest).arg(loudest)));
    }
};

QTEST_GUILESS_MAIN(TestVoices)
#include "tst_voices.moc"
