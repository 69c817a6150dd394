// Sound cues: the WAV reader against good files and a corpus of broken ones, cue paths, loading
// cue files, and the player with its audio thread, against an output that can be held stuck.
// What the real output plays is checked end to end, on a sound server of the test's own.

#include "sound/audiooutput.h"
#include "sound/cuefile.h"
#include "sound/cuepath.h"
#include "sound/player.h"
#include "sound/wavwriter.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <condition_variable>
#include <mutex>

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

// Samples as WAV files hold them: little-endian, like every host the game runs on.
static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN);
QByteArray pcm16(std::initializer_list<qint16> v)
{
    return QByteArray(reinterpret_cast<const char *>(v.begin()), qsizetype(sizeof(qint16) * v.size()));
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

// What the player's outputs were asked, in order: "1 plays 6" (output 1 plays a cue of 6 bytes),
// "1 stops", "1 gone". While held, play() waits, as a sound system that does not answer does.
class Recorder
{
    // Runs f under the lock, and wakes the waiters.
    template <typename F>
    auto change(F f)
    {
        const std::lock_guard lock(mutex_);
        changed_.notify_all();
        return f();
    }

public:
    void add(const QString &event) { change([&] { log_ += event; }); }
    int newOutput() { return change([&] { return ++outputs_; }); }
    void hold(bool held) { change([&] { held_ = held; }); }
    void clear() { change([&] { log_.clear(), outputs_ = 0; }); }
    QStringList log() { return change([&] { return log_; }); }
    // Logs a play; one logged while held waits until the outputs are let go.
    void play(const QString &event)
    {
        std::unique_lock lock(mutex_);
        log_ += event;
        changed_.notify_all();
        changed_.wait(lock, [this, held = held_] { return !held || !held_; });
    }
    // Waits (10 s at most) for `event`, and returns the log so far.
    QStringList waitFor(const QString &event)
    {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, std::chrono::seconds(10), [&] { return log_.contains(event); });
        return log_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    QStringList log_;
    int outputs_ = 0;
    bool held_ = false;
};

class FakeOutput final : public sound::AudioOutput
{
public:
    explicit FakeOutput(Recorder &recorder) : recorder_(recorder), id_(recorder.newOutput()) {}
    ~FakeOutput() override { recorder_.add(u"%1 gone"_s.arg(id_)); }
    void play(const sound::Pcm &pcm) override
    {
        recorder_.play(u"%1 plays %2"_s.arg(id_).arg(pcm.samples.size()));
    }
    void stop() override
    {
        recorder_.add(u"%1 stops"_s.arg(id_));
    }

private:
    Recorder &recorder_;
    const int id_;
};

} // namespace

Q_DECLARE_METATYPE(sound::Pcm)

class TestSound : public QObject
{
    Q_OBJECT

    QTemporaryDir dir_;
    Recorder recorder_;

    QString path(const QString &name) const { return dir_.filePath(name); }
    sound::AudioWorker::OutputFactory fakeOutputs()
    {
        return [this] { return std::make_unique<FakeOutput>(recorder_); };
    }
    // A cue of `bytes` bytes of samples, written once.
    QString cue(int bytes)
    {
        const QString name = path(u"cue-%1.wav"_s.arg(bytes));
        if (!QFile::exists(name))
            write(name, wav({}, QByteArray(bytes, '\x08')));
        return name;
    }

private slots:
    void init() { recorder_.clear(); }

    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        QVERIFY(write(path(u"good.wav"_s), plain));
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

        // Written out as the plain file the Windows output hands to the system: one PCM format
        // chunk and the data chunk, nothing else.
        const Fmt plainFmt{.channels = quint16(expected.channels), .rate = quint32(expected.sampleRate),
                           .bits = quint16(expected.bitsPerSample)};
        QCOMPARE(sound::wavFile(*pcm), wav(plainFmt, expected.samples));
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
        // Nor is it loaded from a file.
        QVERIFY(write(path(u"broken.wav"_s), file));
        QVERIFY(!sound::loadWavFile(path(u"broken.wav"_s)));
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
        const std::optional<sound::Pcm> pcm = sound::loadWavFile(file);
        QCOMPARE(pcm.has_value(), good);

        // The cue sounding stops whether or not the new one can play.
        {
            sound::Player player(fakeOutputs());
            player.suona(cue(100));
            recorder_.waitFor(u"1 plays 100"_s);
            player.suona(file);
            recorder_.waitFor(good ? u"1 plays %1"_s.arg(pcm->samples.size()) : u"1 stops"_s);
        }
        QCOMPARE(recorder_.log(), QStringList({u"1 plays 100"_s,
                                               good ? u"1 plays %1"_s.arg(pcm->samples.size()) : u"1 stops"_s,
                                               u"1 gone"_s}));
    }

    // A cue asked for while the output is busy waits; a newer one replaces it.
    void newestRequestWins()
    {
        recorder_.hold(true);
        {
            sound::Player player(fakeOutputs());
            player.suona(cue(10));
            recorder_.waitFor(u"1 plays 10"_s);
            player.suona(cue(20));
            player.suona(cue(30));
            recorder_.hold(false);
            recorder_.waitFor(u"1 plays 30"_s);
        }
        QCOMPARE(recorder_.waitFor(u"1 gone"_s), QStringList({u"1 plays 10"_s, u"1 plays 30"_s, u"1 gone"_s}));
    }

    // The caller never waits on the output: an output stuck for long is left behind for a fresh
    // one (two at most at once).
    void neverWaitsOnTheOutput()
    {
        QElapsedTimer clock;
        clock.start();
        recorder_.hold(true);
        auto player = std::make_unique<sound::Player>(fakeOutputs());
        player->suona(cue(10));
        recorder_.waitFor(u"1 plays 10"_s);
        QTest::qWait(int(sound::AudioWorker::kStuckAfter.count()) + 200);
        player->suona(cue(40)); // output 1 is stuck: output 2 plays, and is held in turn
        recorder_.waitFor(u"2 plays 40"_s);
        QTest::qWait(int(sound::AudioWorker::kStuckAfter.count()) + 200);
        player->suona(cue(50));
        recorder_.waitFor(u"3 plays 50"_s);
        QTest::qWait(int(sound::AudioWorker::kStuckAfter.count()) + 200);
        player->suona(cue(60)); // two are left behind already: this one waits for output 3
        // Generous: held outputs would hold the caller for good.
        QVERIFY2(clock.elapsed() < 3 * sound::AudioWorker::kStuckAfter.count() + 5000, "the player waited");
        QCOMPARE(recorder_.log(), QStringList({u"1 plays 10"_s, u"2 plays 40"_s, u"3 plays 50"_s}));

        // Once the outputs answer, output 3 plays the waiting cue and the threads left behind
        // end without playing anything more; the end of the player waits for none of them.
        recorder_.hold(false);
        recorder_.waitFor(u"3 plays 60"_s);
        recorder_.hold(true);
        player->suona(cue(70));
        recorder_.waitFor(u"3 plays 70"_s);
        clock.restart();
        player.reset();
        QVERIFY2(clock.elapsed() < 5000, "the end of the player waited for a held output");
        recorder_.hold(false);
        for (const QString &gone : {u"1 gone"_s, u"2 gone"_s, u"3 gone"_s})
            recorder_.waitFor(gone);
        QStringList log = recorder_.log();
        log.sort();
        QCOMPARE(log, QStringList({u"1 gone"_s, u"1 plays 10"_s, u"2 gone"_s, u"2 plays 40"_s, u"3 gone"_s,
                                   u"3 plays 50"_s, u"3 plays 60"_s, u"3 plays 70"_s}));
    }
};

QTEST_MAIN(TestSound)
#include "tst_sound.moc"
