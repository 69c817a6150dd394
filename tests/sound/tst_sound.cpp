// Sound cues: the WAV reader against good files and a corpus of broken ones, cue paths, loading
// cue files, conversion for the output, and the player, which returns at once and stays silent.

#include "sound/audiooutput.h"
#include "sound/cuefile.h"
#include "sound/cuepath.h"
#include "sound/pcmconvert.h"
#include "sound/player.h"

#include <QAudioSink>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLibrary>
#include <QMediaDevices>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

using namespace Qt::StringLiterals;

namespace {

QByteArray le(quint32 value, int bytes)
{
    QByteArray b;
    for (int i = 0; i < bytes; ++i)
        b += char(value >> (8 * i));
    return b;
}

// A chunk with its declared size (by default its body's) and, after an odd body, the pad byte
// unless told not to.
QByteArray chunk(const char *id, const QByteArray &body, qint64 declared = -1, bool pad = true)
{
    return QByteArray(id, 4) + le(quint32(declared < 0 ? body.size() : declared), 4) + body
           + QByteArray(pad ? body.size() % 2 : 0, '\0');
}

struct Fmt
{
    quint16 tag = 1, channels = 1;
    quint32 rate = 16000;
    quint16 bits = 16;
    int align = -1; // by default channels × bytes per sample
};

QByteArray fmt(const Fmt &f)
{
    const int align = f.align >= 0 ? f.align : f.channels * (f.bits / 8);
    return le(f.tag, 2) + le(f.channels, 2) + le(f.rate, 4) + le(f.rate * align, 4)
           + le(align, 2) + le(f.bits, 2);
}

// The fmt body of WAVE_FORMAT_EXTENSIBLE; subformat 1 is PCM, 3 is float.
QByteArray extensible(Fmt f, quint16 subformat = 1, quint16 validBits = 0, quint16 extension = 22)
{
    f.tag = 0xFFFE;
    return fmt(f) + le(extension, 2) + le(validBits ? validBits : f.bits, 2) + le(3, 4)
           + le(subformat, 2) + QByteArray::fromHex("000000001000800000aa00389b71");
}

QByteArray riff(const QByteArray &chunks, qint64 size = -1)
{
    return "RIFF" + le(quint32(size < 0 ? chunks.size() + 4 : size), 4) + "WAVE" + chunks;
}

QByteArray wav(const Fmt &f, const QByteArray &samples)
{
    return riff(chunk("fmt ", fmt(f)) + chunk("data", samples));
}

// Samples in the host's byte order, as the audio output takes them.
template<typename T>
QByteArray native(std::initializer_list<T> v)
{
    return QByteArray(reinterpret_cast<const char *>(v.begin()), qsizetype(sizeof(T) * v.size()));
}

// WAV samples are little-endian, like every host the game runs on.
static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN);
QByteArray pcm16(std::initializer_list<qint16> values) { return native(values); }

QAudioFormat format(QAudioFormat::SampleFormat sampleFormat, int channels, int rate)
{
    QAudioFormat f;
    f.setSampleFormat(sampleFormat);
    f.setChannelCount(channels);
    f.setSampleRate(rate);
    return f;
}

bool write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

const QByteArray mono16 = pcm16({0, 1, -1, 32767, -32768, 1234});
const QByteArray stereo16 = pcm16({100, -100, 2000, -2000, 32767, -32768});
// Good files that every cut spoils.
const QByteArray plain = wav({}, mono16);
const Fmt extFmt{.channels = 2, .rate = 48000};
const QByteArray withList =
    riff(chunk("LIST", "abcdefg") + chunk("fmt ", extensible(extFmt)) + chunk("data", stereo16));

} // namespace

Q_DECLARE_METATYPE(sound::Pcm)

class TestSound : public QObject
{
    Q_OBJECT

    QTemporaryDir dir_;
    bool haveOutput_ = false;

    QString path(const QString &name) const { return dir_.filePath(name); }
    // Where the build puts the audio module: beside the program, not beside this test.
    static QString audioModuleFolder() { return QStringLiteral(ZEFIRANA_AUDIO_MODULE_DIR); }

private slots:
    void audioModuleIsThere()
    {
        // Without it every cue would be silent, and no test here could tell.
        QLibrary module(QDir(audioModuleFolder()).filePath(QString::fromLatin1(sound::kAudioModule)));
        QVERIFY2(module.resolve(sound::kCreateAudioOutput), qPrintable(module.errorString()));
    }

    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        QVERIFY(write(path(u"good.wav"_s), plain));
        QVERIFY(write(path(u"long.wav"_s), wav({}, QByteArray(96000, '\x08')))); // 3 seconds
        QVERIFY(QDir().mkpath(path(u"Scuola Elementare/Perù è/regione"_s)));
        QVERIFY(write(path(u"Scuola Elementare/Perù è/regione/toscana.wav"_s), plain));
        QVERIFY(QDir().mkpath(path(u"folder.wav"_s)));
#ifdef Q_OS_UNIX
        QVERIFY(::mkfifo(QFile::encodeName(path(u"fifo.wav"_s)).constData(), 0600) == 0);
        QVERIFY(QFile::link(path(u"fifo.wav"_s), path(u"link-to-fifo.wav"_s)));
#endif
        // Sparse, so they cost no disk space: a good file at the size cap, one a frame past it.
        const QByteArray head = riff(chunk("fmt ", fmt({.channels = 2, .rate = 192000}))) + "data";
        for (const auto &[file, size] : {std::pair(u"cap.wav"_s, sound::maxCueFileBytes),
                                         std::pair(u"over-cap.wav"_s, sound::maxCueFileBytes + 4)}) {
            const QString name = path(file);
            QVERIFY(write(name, head + le(quint32(size - head.size() - 4), 4)));
            QVERIFY(QFile::resize(name, size));
        }
        haveOutput_ = !QMediaDevices::defaultAudioOutput().isNull();
    }

    void readsGoodFiles_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<sound::Pcm>("expected");
        const auto row = [](const char *name, const QByteArray &file, const Fmt &f,
                            const QByteArray &samples) {
            QTest::newRow(name) << file << sound::Pcm{f.channels, int(f.rate), f.bits, samples};
        };
        const Fmt m16, s16{.channels = 2, .rate = 192000}, m8{.rate = 4000, .bits = 8},
            s8{.channels = 2, .rate = 22050, .bits = 8};
        const QByteArray fmt16 = chunk("fmt ", fmt(m16)), fmt8 = chunk("fmt ", fmt(m8));
        const QByteArray mono8 = QByteArray::fromHex("0080ff017fc8");

        row("16-bit mono", plain, m16, mono16);
        row("16-bit stereo, highest rate", wav(s16, stereo16), s16, stereo16);
        row("8-bit mono, lowest rate", wav(m8, mono8), m8, mono8);
        row("8-bit stereo", wav(s8, "\x0a\xfa\x80\x80"), s8, "\x0a\xfa\x80\x80");
        row("extensible after an odd chunk", withList, extFmt, stereo16);
        row("odd and unknown chunks before data",
            riff(chunk("junk", "abc") + fmt16 + chunk("fact", le(6, 4)) + chunk("data", mono16)),
            m16, mono16);
        row("data before fmt", riff(chunk("data", mono16) + fmt16), m16, mono16);
        row("odd data, padded", riff(fmt8 + chunk("data", "\1\2\3")), m8, "\1\2\3");
        row("odd data ending the file", riff(fmt8 + chunk("data", "\1\2\3", -1, false)), m8,
            "\1\2\3");
        row("RIFF size 0xFFFFFFFF, cut chunk after the data",
            riff(fmt16 + chunk("data", mono16) + chunk("LIST", "abcd", 1000), 0xFFFFFFFF), m16,
            mono16);
    }

    void readsGoodFiles()
    {
        QFETCH(QByteArray, file);
        QFETCH(sound::Pcm, expected);
        QByteArray bytes(file.constData(), file.size()); // a copy of its own, spoilt below
        const std::optional<sound::Pcm> pcm = sound::readWav(bytes);
        bytes.fill('\xAA'); // the samples must not point into the caller's bytes
        QVERIFY(pcm);
        QCOMPARE(QList<int>({pcm->channels, pcm->sampleRate, pcm->bitsPerSample}),
                 QList<int>({expected.channels, expected.sampleRate, expected.bitsPerSample}));
        QCOMPARE(pcm->samples, expected.samples);
    }

    void rejectsBrokenFiles_data()
    {
        QTest::addColumn<QByteArray>("file");
        const QByteArray fmt16 = chunk("fmt ", fmt({})), data16 = chunk("data", mono16);
        const QByteArray noise =
            QCryptographicHash::hash("noise", QCryptographicHash::Sha512).repeated(64);

        QTest::newRow("empty") << QByteArray();
        QTest::newRow("RIFX") << "RIFX" + plain.mid(4);
        QTest::newRow("not WAVE") << QByteArray(plain).replace(8, 4, "AVI ");
        QTest::newRow("garbage") << noise;
        QTest::newRow("garbage after a RIFF header") << riff(noise);
        for (quint16 tag : {0, 2, 3, 0x55, 0xFFFF})
            QTest::addRow("format tag %d", tag) << wav({.tag = tag}, mono16);
        for (quint16 bits : {0, 4, 12, 24, 32})
            QTest::addRow("%d bits", bits) << wav({.bits = bits}, mono16);
        for (quint16 channels : {0, 3, 0xFFFF})
            QTest::addRow("%d channels", channels) << wav({.channels = channels}, mono16);
        for (quint32 rate : {0u, 3999u, 192001u, 0xFFFFFFFFu})
            QTest::addRow("rate %u", rate) << wav({.rate = rate}, mono16);
        for (int align : {0, 1, 4, 0xFFFF})
            QTest::addRow("block align %d", align) << wav({.align = align}, mono16);
        const auto withFmt = [&](const char *name, const QByteArray &body) {
            QTest::newRow(name) << riff(chunk("fmt ", body) + data16);
        };
        withFmt("fmt too short", fmt({}).left(14));
        withFmt("extensible float", extensible({}, 3));
        withFmt("extensible 24-bit", extensible({.bits = 24}));
        withFmt("extension too short", extensible({}, 1, 0, 10));
        withFmt("extensible cut to 18 bytes", extensible({}).left(18));
        withFmt("more valid bits than stored", extensible({}, 1, 17));
        QTest::newRow("no fmt") << riff(data16);
        QTest::newRow("no data") << riff(fmt16 + chunk("LIST", "abcd"));
        QTest::newRow("empty data") << riff(fmt16 + chunk("data", {}));
        QTest::newRow("half a frame") << wav({.channels = 2}, pcm16({1, 2, 3}));
        QTest::newRow("two fmt chunks") << riff(fmt16 + fmt16 + data16);
        QTest::newRow("two data chunks") << riff(data16 + data16 + fmt16);
        QTest::newRow("odd chunk without its pad byte")
            << riff(chunk("junk", "abc", -1, false) + fmt16 + data16);
        QTest::newRow("data one byte past the end")
            << riff(fmt16 + chunk("data", mono16, mono16.size() + 1));
        for (quint32 size : {1000000u, 0x80000000u, 0xFFFFFFFFu}) {
            QTest::addRow("data size 0x%X", size) << riff(fmt16 + chunk("data", mono16, size));
            QTest::addRow("fmt size 0x%X", size) << riff(chunk("fmt ", fmt({}), size) + data16);
            QTest::addRow("unknown chunk size 0x%X", size)
                << riff(chunk("LIST", "abcd", size) + fmt16 + data16);
        }
        for (const QByteArray &whole : {plain, withList}) {
            for (qsizetype n = 0; n < whole.size(); ++n)
                QTest::addRow("cut to %d of %d bytes", int(n), int(whole.size())) << whole.first(n);
        }
    }

    void rejectsBrokenFiles()
    {
        QFETCH(QByteArray, file);
        QVERIFY(!sound::readWav(file));
        // Nor is it loaded from a file, and the player stays silent.
        QVERIFY(write(path(u"broken.wav"_s), file));
        QVERIFY(!sound::loadWavFile(path(u"broken.wav"_s)));
        sound::Player player(audioModuleFolder());
        player.suona(path(u"broken.wav"_s));
        QVERIFY(!player.isPlaying());
    }

    void cuePath()
    {
        QCOMPARE(sound::cuePath(u"/tmp/Scuola Elementare/Perù è"_s, u"regione/toscana.wav"),
                 u"/tmp/Scuola Elementare/Perù è/regione/toscana.wav"_s);
        QCOMPARE(sound::cuePath(u"/"_s, u"regione/toscana.wav"), u"/regione/toscana.wav"_s);
    }

    void loadsAndPlays_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("good");
        QTest::newRow("good") << path(u"good.wav"_s) << true;
        QTest::newRow("below a Unicode folder")
            << sound::cuePath(path(u"Scuola Elementare/Perù è"_s), u"regione/toscana.wav") << true;
        QTest::newRow("at the size cap") << path(u"cap.wav"_s) << true;
        QTest::newRow("past the size cap") << path(u"over-cap.wav"_s) << false;
        QTest::newRow("missing") << path(u"missing.wav"_s) << false;
        QTest::newRow("missing folder") << path(u"regione/missing.wav"_s) << false;
        QTest::newRow("empty path") << QString() << false;
        QTest::newRow("folder") << path(u"folder.wav"_s) << false;
#ifdef Q_OS_UNIX
        QTest::newRow("FIFO") << path(u"fifo.wav"_s) << false;
        QTest::newRow("link to a FIFO") << path(u"link-to-fifo.wav"_s) << false;
        QTest::newRow("device") << u"/dev/zero"_s << false;
#endif
    }

    void loadsAndPlays()
    {
        QFETCH(QString, file);
        QFETCH(bool, good);
        QCOMPARE(sound::loadWavFile(file).has_value(), good);

        // The cue sounding stops whether or not the new one can play.
        sound::Player player(audioModuleFolder());
        player.suona(path(u"long.wav"_s));
        QCOMPARE(player.isPlaying(), haveOutput_);
        player.suona(file);
        QCOMPARE(player.isPlaying(), good && haveOutput_);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(player.findChildren<QAudioSink *>().size(), good && haveOutput_ ? 1 : 0);
    }

    void newCueReplacesThePrevious()
    {
        if (!haveOutput_)
            QSKIP("no sound output here");
        sound::Player player(audioModuleFolder());
        player.suona(path(u"long.wav"_s));
        const QList<QAudioSink *> first = player.findChildren<QAudioSink *>();
        QCOMPARE(first.size(), 1);
        player.suona(path(u"good.wav"_s));
        QVERIFY(player.isPlaying());
        QCOMPARE(first.front()->state(), QAudio::StoppedState);
        // The second cue is a few samples long: at its end the player lets it go.
        QTRY_VERIFY_WITH_TIMEOUT(!player.isPlaying(), 10000);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(player.findChildren<QAudioSink *>().isEmpty());

        auto *other = new sound::Player(audioModuleFolder()); // destroyed while its cue sounds
        other->suona(path(u"long.wav"_s));
        QVERIFY(other->isPlaying());
        delete other;
    }

    void convert_data()
    {
        QTest::addColumn<sound::Pcm>("pcm");
        QTest::addColumn<QAudioFormat>("target");
        QTest::addColumn<QByteArray>("expected");
        using F = QAudioFormat;
        const auto in = [](int channels, std::initializer_list<qint16> v) {
            return sound::Pcm{channels, 16000, 16, pcm16(v)};
        };
        QTest::newRow("8-bit to 16-bit") << sound::Pcm{1, 16000, 8, QByteArray::fromHex("0080ff81")}
            << format(F::Int16, 1, 16000) << native<qint16>({-32768, 0, 32512, 256});
        QTest::newRow("16-bit to 8-bit") << in(1, {-32768, 0, 32767, 448, -448})
            << format(F::UInt8, 1, 16000) << native<quint8>({0, 128, 255, 130, 126});
        QTest::newRow("16-bit to 32-bit, mono to stereo") << in(1, {1, -1, -32768})
            << format(F::Int32, 2, 16000)
            << native<qint32>({65536, 65536, -65536, -65536, INT32_MIN, INT32_MIN});
        QTest::newRow("16-bit to float") << in(1, {16384, -32768, 0})
            << format(F::Float, 1, 16000) << native<float>({0.5f, -1.0f, 0.0f});
        QTest::newRow("stereo to mono") << in(2, {100, 300, -100, -300, 32767, 32767})
            << format(F::Int16, 1, 16000) << native<qint16>({200, -200, 32767});
        QTest::newRow("stereo to four channels") << in(2, {7, -7, 8, -8})
            << format(F::Int16, 4, 16000) << native<qint16>({7, -7, 0, 0, 8, -8, 0, 0});
        QTest::newRow("rate halved") << in(1, {0, 10, 20, 30, 40})
            << format(F::Int16, 1, 8000) << native<qint16>({0, 20, 40});
        QTest::newRow("rate tripled, stereo") << in(2, {0, 3072, 3072, 0})
            << format(F::Int16, 2, 48000)
            << native<qint16>({0, 3072, 1024, 2048, 2048, 1024, 3072, 0, 3072, 0, 3072, 0});
        QTest::newRow("unusable target") << in(1, {1, 2}) << QAudioFormat() << QByteArray();
    }

    void convert()
    {
        QFETCH(sound::Pcm, pcm);
        QFETCH(QAudioFormat, target);
        QFETCH(QByteArray, expected);
        QCOMPARE(sound::convertPcm(pcm, target), expected);
    }

    void convertRefusesAnOversizedResult()
    {
        // 1000 frames at 4 kHz raised to 192 kHz stereo float: 48000 frames of 8 bytes.
        const sound::Pcm pcm{1, 4000, 8, QByteArray(1000, '\x80')};
        const QAudioFormat target = format(QAudioFormat::Float, 2, 192000);
        QCOMPARE(sound::convertPcm(pcm, target, 48000 * 8).size(), 48000 * 8);
        QVERIFY(sound::convertPcm(pcm, target, 48000 * 8 - 1).isEmpty());
    }
};

QTEST_MAIN(TestSound)
#include "tst_sound.moc"
