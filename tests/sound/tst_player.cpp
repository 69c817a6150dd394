// Loading cue files, converting samples for the output, and the player: every
// path returns at once, broken files stay silent, a new cue replaces the last.

#include "sound/cuefile.h"
#include "sound/pcmconvert.h"
#include "sound/player.h"
#include "wavfiles.h"

#include <QAudioDevice>
#include <QAudioSink>
#include <QDir>
#include <QFile>
#include <QMediaDevices>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;
using namespace wavfiles;

namespace {

// `seconds` of a quiet 16-bit mono tone at 16 kHz.
QByteArray tone(double seconds)
{
    QByteArray samples;
    const int frames = int(seconds * 16000);
    for (int i = 0; i < frames; ++i)
        samples += le16(quint16(qint16((i % 40) < 20 ? 2000 : -2000)));
    return wav(Fmt{}, samples);
}

template<typename T>
QByteArray native(std::initializer_list<T> values)
{
    QByteArray b;
    for (T v : values)
        b += QByteArray(reinterpret_cast<const char *>(&v), sizeof v);
    return b;
}

QAudioFormat format(QAudioFormat::SampleFormat sampleFormat, int channels, int rate)
{
    QAudioFormat f;
    f.setSampleFormat(sampleFormat);
    f.setChannelCount(channels);
    f.setSampleRate(rate);
    return f;
}

void processDeferredDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

Q_DECLARE_METATYPE(sound::Pcm)

class TestPlayer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void loadWavFile_data();
    void loadWavFile();
    void sizeCap();
    void fileOverTheDefaultCapIsRefused();
    void unreadableFile();

    void convert_data();
    void convert();
    void convertRefusesAnOversizedResult();

    void suonaAlwaysReturns_data();
    void suonaAlwaysReturns();
    void newCueReplacesThePrevious();
    void cueIsReleasedAtItsEnd();

private:
    QString path(const QString &name) const { return dir_.filePath(name); }
    void write(const QString &name, const QByteArray &bytes);

    QTemporaryDir dir_;
    QByteArray goodSamples_;
    bool haveOutput_ = false;
};

void TestPlayer::write(const QString &name, const QByteArray &bytes)
{
    QFile file(path(name));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

void TestPlayer::initTestCase()
{
    QVERIFY(dir_.isValid());
    goodSamples_ = pcm16({0, 900, -900, 32767, -32768, 0});
    const QByteArray good = wav(Fmt{}, goodSamples_);
    write(u"good.wav"_s, good);
    write(u"long.wav"_s, tone(3.0));
    write(u"short.wav"_s, tone(0.1));
    write(u"empty.wav"_s, QByteArray());
    write(u"cut-header.wav"_s, good.left(30));
    write(u"cut-data.wav"_s, good.left(good.size() - 1));
    write(u"data-too-long.wav"_s,
          riff(chunk("fmt ", fmtBody(Fmt{})) + chunk("data", goodSamples_, 0xFFFFFFFF)));
    write(u"float.wav"_s, wav(Fmt{3, 1, 16000, 32}, QByteArray(64, '\0')));
    write(u"24-bit.wav"_s, wav(Fmt{1, 2, 48000, 24}, QByteArray(60, '\1')));
    write(u"text.wav"_s, "Non sono un suono.\n");
    QVERIFY(QDir(dir_.path()).mkdir(u"folder.wav"_s));
#ifdef Q_OS_UNIX
    QVERIFY(::mkfifo(QFile::encodeName(path(u"fifo.wav"_s)).constData(), 0600) == 0);
    QVERIFY(QFile::link(path(u"good.wav"_s), path(u"link-to-good.wav"_s)));
    QVERIFY(QFile::link(path(u"fifo.wav"_s), path(u"link-to-fifo.wav"_s)));
    QVERIFY(QFile::link(path(u"nowhere.wav"_s), path(u"dangling.wav"_s)));
#endif
    haveOutput_ = !QMediaDevices::defaultAudioOutput().isNull();
    qInfo("sound output: %s", haveOutput_ ? "present" : "none (every cue is silent)");
}

void TestPlayer::loadWavFile_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("good") << path(u"good.wav"_s) << true;
    QTest::newRow("missing") << path(u"missing.wav"_s) << false;
    QTest::newRow("missing folder") << path(u"regione/missing.wav"_s) << false;
    QTest::newRow("empty path") << QString() << false;
    QTest::newRow("empty") << path(u"empty.wav"_s) << false;
    QTest::newRow("header cut") << path(u"cut-header.wav"_s) << false;
    QTest::newRow("data cut") << path(u"cut-data.wav"_s) << false;
    QTest::newRow("data chunk too long") << path(u"data-too-long.wav"_s) << false;
    QTest::newRow("float") << path(u"float.wav"_s) << false;
    QTest::newRow("text") << path(u"text.wav"_s) << false;
    QTest::newRow("folder") << path(u"folder.wav"_s) << false;
#ifdef Q_OS_UNIX
    QTest::newRow("FIFO") << path(u"fifo.wav"_s) << false;
    QTest::newRow("link to a good file") << path(u"link-to-good.wav"_s) << true;
    QTest::newRow("link to a FIFO") << path(u"link-to-fifo.wav"_s) << false;
    QTest::newRow("dangling link") << path(u"dangling.wav"_s) << false;
    QTest::newRow("/dev/null") << u"/dev/null"_s << false;
    QTest::newRow("/dev/zero") << u"/dev/zero"_s << false;
#endif
}

void TestPlayer::loadWavFile()
{
    QFETCH(QString, file);
    QFETCH(bool, accepted);

    const std::optional<sound::Pcm> pcm = sound::loadWavFile(file);
    QCOMPARE(pcm.has_value(), accepted);
    if (accepted)
        QCOMPARE(pcm->samples, goodSamples_);
}

void TestPlayer::sizeCap()
{
    const qint64 size = QFileInfo(path(u"good.wav"_s)).size();
    QVERIFY(sound::loadWavFile(path(u"good.wav"_s), size).has_value());
    QVERIFY(!sound::loadWavFile(path(u"good.wav"_s), size - 1).has_value());
}

void TestPlayer::fileOverTheDefaultCapIsRefused()
{
    // A well-formed file exactly at the cap plays; one byte more is refused.
    // Both are sparse, so they cost no disk space.
    const qint64 cap = sound::maxCueFileBytes;
    const QByteArray header = riff(chunk("fmt ", fmtBody(Fmt{}))).append("data", 4);
    for (qint64 size : {cap, cap + 2}) {
        const QString name = u"big-%1.wav"_s.arg(size);
        QByteArray bytes = header + le32(quint32(size - header.size() - 4));
        write(name, bytes);
        QFile file(path(name));
        QVERIFY(file.resize(size));
    }
    QVERIFY(sound::loadWavFile(path(u"big-%1.wav"_s.arg(cap))).has_value());
    QVERIFY(!sound::loadWavFile(path(u"big-%1.wav"_s.arg(cap + 2))).has_value());
}

void TestPlayer::unreadableFile()
{
#ifdef Q_OS_UNIX
    if (::geteuid() == 0)
        QSKIP("root reads every file: unreadability cannot be set up");
#endif
    const QString name = path(u"unreadable.wav"_s);
    QVERIFY(QFile::copy(path(u"good.wav"_s), name));
    QVERIFY(QFile::setPermissions(name, QFileDevice::Permissions()));
    QVERIFY(!sound::loadWavFile(name).has_value());
    sound::Player player;
    player.suona(name);
    QVERIFY(!player.isPlaying());
}

void TestPlayer::convert_data()
{
    QTest::addColumn<sound::Pcm>("pcm");
    QTest::addColumn<QAudioFormat>("target");
    QTest::addColumn<QByteArray>("expected");

    using F = QAudioFormat;
    const auto mono16 = [](std::initializer_list<qint16> v, int rate = 16000) {
        return sound::Pcm{1, rate, 16, pcm16(v)};
    };

    QTest::newRow("same format")
        << mono16({1, -1, 32767, -32768}) << format(F::Int16, 1, 16000)
        << native<qint16>({1, -1, 32767, -32768});
    QTest::newRow("8-bit to 16-bit") << sound::Pcm{1, 8000, 8, pcm8({0, 128, 255, 129})}
                                     << format(F::Int16, 1, 8000)
                                     << native<qint16>({-32768, 0, 32512, 256});
    QTest::newRow("16-bit to 8-bit") << mono16({-32768, 0, 32767, 256, -256})
                                     << format(F::UInt8, 1, 16000)
                                     << native<quint8>({0, 128, 255, 129, 127});
    QTest::newRow("16-bit to 32-bit") << mono16({1, -1, -32768})
                                      << format(F::Int32, 1, 16000)
                                      << native<qint32>({65536, -65536, -2147483647 - 1});
    QTest::newRow("16-bit to float") << mono16({16384, -32768, 0})
                                     << format(F::Float, 1, 16000)
                                     << native<float>({0.5f, -1.0f, 0.0f});
    QTest::newRow("mono to stereo") << mono16({1, -2, 3}) << format(F::Int16, 2, 16000)
                                    << native<qint16>({1, 1, -2, -2, 3, 3});
    QTest::newRow("stereo to mono")
        << sound::Pcm{2, 16000, 16, pcm16({100, 300, -100, -300, 32767, 32767})}
        << format(F::Int16, 1, 16000) << native<qint16>({200, -200, 32767});
    QTest::newRow("stereo to four channels")
        << sound::Pcm{2, 16000, 16, pcm16({7, -7, 8, -8})} << format(F::Int16, 4, 16000)
        << native<qint16>({7, -7, 0, 0, 8, -8, 0, 0});
    QTest::newRow("rate doubled")
        << mono16({0, 1000, -1000}, 8000) << format(F::Int16, 1, 16000)
        << native<qint16>({0, 500, 1000, 0, -1000, -1000});
    QTest::newRow("rate halved") << mono16({0, 10, 20, 30, 40}, 16000)
                                 << format(F::Int16, 1, 8000) << native<qint16>({0, 20, 40});
    QTest::newRow("rate tripled, stereo to stereo float")
        << sound::Pcm{2, 16000, 16, pcm16({0, 3072, 3072, 0})} << format(F::Float, 2, 48000)
        << native<float>({0.0f, 3072 / 32768.0f, 1024 / 32768.0f, 2048 / 32768.0f,
                          2048 / 32768.0f, 1024 / 32768.0f, 3072 / 32768.0f, 0.0f,
                          3072 / 32768.0f, 0.0f, 3072 / 32768.0f, 0.0f});
    QTest::newRow("unusable target") << mono16({1, 2}) << QAudioFormat() << QByteArray();
}

void TestPlayer::convert()
{
    QFETCH(sound::Pcm, pcm);
    QFETCH(QAudioFormat, target);
    QFETCH(QByteArray, expected);

    const QByteArray out = sound::convertPcm(pcm, target);
    if (target.sampleFormat() == QAudioFormat::Float) {
        QCOMPARE(out.size(), expected.size());
        for (qsizetype i = 0; i < out.size(); i += 4) {
            float got, want;
            std::memcpy(&got, out.constData() + i, 4);
            std::memcpy(&want, expected.constData() + i, 4);
            QVERIFY2(qAbs(got - want) < 1e-6f, qPrintable(u"sample %1: %2, expected %3"_s.arg(
                                                   i / 4).arg(got).arg(want)));
        }
    } else {
        QCOMPARE(out, expected);
    }
}

void TestPlayer::convertRefusesAnOversizedResult()
{
    // 1000 frames at 4 kHz raised to 192 kHz stereo float: 48000 frames of 8 bytes.
    const sound::Pcm pcm{1, 4000, 8, QByteArray(1000, '\x80')};
    const QAudioFormat target = format(QAudioFormat::Float, 2, 192000);
    QCOMPARE(sound::convertPcm(pcm, target, 48000 * 8).size(), 48000 * 8);
    QVERIFY(sound::convertPcm(pcm, target, 48000 * 8 - 1).isEmpty());
}

void TestPlayer::suonaAlwaysReturns_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("playable");

    QTest::newRow("good") << path(u"good.wav"_s) << true;
    const QStringList broken = {u"missing.wav"_s,       u"regione/missing.wav"_s,
                                u"empty.wav"_s,         u"cut-header.wav"_s,
                                u"cut-data.wav"_s,      u"data-too-long.wav"_s,
                                u"float.wav"_s,         u"24-bit.wav"_s,
                                u"text.wav"_s,          u"folder.wav"_s,
#ifdef Q_OS_UNIX
                                u"fifo.wav"_s,          u"link-to-fifo.wav"_s,
                                u"dangling.wav"_s
#endif
    };
    for (const QString &name : broken)
        QTest::newRow(qPrintable(name)) << path(name) << false;
    QTest::newRow("empty path") << QString() << false;
}

void TestPlayer::suonaAlwaysReturns()
{
    QFETCH(QString, file);
    QFETCH(bool, playable);

    sound::Player player;
    player.suona(file);
    QCOMPARE(player.isPlaying(), playable && haveOutput_);

    // The same file while another cue sounds: that cue stops either way.
    player.suona(path(u"long.wav"_s));
    QCOMPARE(player.isPlaying(), haveOutput_);
    player.suona(file);
    QCOMPARE(player.isPlaying(), playable && haveOutput_);
    processDeferredDeletes();
    QCOMPARE(player.findChildren<QAudioSink *>().size(), playable && haveOutput_ ? 1 : 0);
}

void TestPlayer::newCueReplacesThePrevious()
{
    if (!haveOutput_)
        QSKIP("no sound output here");
    sound::Player player;
    player.suona(path(u"long.wav"_s));
    QVERIFY(player.isPlaying());
    const QList<QAudioSink *> first = player.findChildren<QAudioSink *>();
    QCOMPARE(first.size(), 1);

    player.suona(path(u"good.wav"_s));
    QVERIFY(player.isPlaying());
    QCOMPARE(first.front()->state(), QAudio::StoppedState);
    processDeferredDeletes();
    const QList<QAudioSink *> second = player.findChildren<QAudioSink *>();
    QCOMPARE(second.size(), 1);
    QCOMPARE_NE(second.front()->state(), QAudio::StoppedState);

    player.stop();
    QVERIFY(!player.isPlaying());
    processDeferredDeletes();
    QVERIFY(player.findChildren<QAudioSink *>().isEmpty());

    // Destroying the player while a cue sounds is safe.
    auto *other = new sound::Player;
    other->suona(path(u"long.wav"_s));
    QVERIFY(other->isPlaying());
    delete other;
}

void TestPlayer::cueIsReleasedAtItsEnd()
{
    if (!haveOutput_)
        QSKIP("no sound output here");
    sound::Player player;
    player.suona(path(u"short.wav"_s));
    QVERIFY(player.isPlaying());
    QTRY_VERIFY_WITH_TIMEOUT(!player.isPlaying(), 10000);
    processDeferredDeletes();
    QVERIFY(player.findChildren<QAudioSink *>().isEmpty());
}

QTEST_MAIN(TestPlayer)
#include "tst_player.moc"
