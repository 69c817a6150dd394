// Sound cues: the WAV reader against good files and a corpus of broken ones, cue paths, loading
// cue files, and the player with its audio thread, against a file system and outputs that can be
// held stuck, and the output on a sound call that belongs to the whole process.
// What the real output plays is checked end to end, on a sound server of the test's own.

#include "sound/audiooutput.h"
#include "sound/cuefile.h"
#include "sound/cuepath.h"
#include "sound/player.h"
#include "sound/playsoundoutput.h"
#include "sound/wavwriter.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <condition_variable>
#include <mutex>
#include <thread>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

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

bool write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Little-endian 16-bit samples: 0, 1, -1, 32767, -32768, 1234; then 100, -100, 2000, ...
const QByteArray mono16 = QByteArray::fromHex("00000100ffffff7f0080d204");
const QByteArray stereo16 = QByteArray::fromHex("64009cffd00730f8ff7f0080");
// Good files that every cut spoils.
const QByteArray plain = wav({}, mono16);
const Fmt extFmt{.channels = 2, .rate = 48000};
const QByteArray withList =
    riff(chunk("LIST", "abcdefg") + chunk("fmt ", extensible(extFmt)) + chunk("data", stereo16));

// What the player's outputs were asked, in order: "1 plays 6" (output 1 plays a cue of 6 bytes),
// "1 stops", "1 gone". While held, a play waits, as a sound system that does not answer does.
struct OutputLog
{
    std::mutex mutex;
    std::condition_variable changed;
    QStringList events;
    int outputs = 0;
    bool held = false;

    // Runs f under the lock, and wakes the waiters.
    auto change(auto f)
    {
        const std::lock_guard lock(mutex);
        changed.notify_all();
        return f();
    }
    // Holds the outputs, with no event and no output so far.
    void hold() { change([&] { events.clear(), outputs = 0, held = true; }); }
    void release() { change([&] { held = false; }); }
    // Adds an event; a play added while held waits until the outputs are let go.
    void add(const QString &event, bool play = false)
    {
        std::unique_lock lock(mutex);
        events += event;
        changed.notify_all();
        changed.wait(lock, [this, wait = play && held] { return !wait || !held; });
    }
    // Waits (10 s at most) for `event`, and returns the events so far.
    QStringList waitFor(const QString &event = {}, std::chrono::milliseconds limit = std::chrono::seconds(10))
    {
        std::unique_lock lock(mutex);
        changed.wait_for(lock, limit, [&] { return event.isEmpty() || events.contains(event); });
        return events;
    }
} outputLog;

class FakeOutput final : public sound::AudioOutput
{
    const int id_ = outputLog.change([] { return ++outputLog.outputs; });
    void log(const QString &event, bool play = false) { outputLog.add(u"%1 %2"_s.arg(id_).arg(event), play); }

public:
    ~FakeOutput() override { log(u"gone"_s); }
    void play(const sound::Pcm &pcm, Clock::time_point) override { log(u"plays %1"_s.arg(pcm.samples.size()), true); }
    void stop() override { log(u"stops"_s); }
    bool mayBeAbandoned() const override { return true; }
};

const sound::AudioWorker::OutputFactory fakeOutputs = [] { return std::make_unique<FakeOutput>(); };
const int stuck = int(sound::AudioWorker::kStuckAfter.count()) + 200; // ms to a worker left behind
// Cue "files" of as many bytes of samples as their names have characters; "" cannot be read.
const sound::AudioWorker::Loader fakeFiles = [](const std::filesystem::path &file) {
    return file.empty() ? std::nullopt : std::optional(sound::Pcm{1, 8000, 16, QByteArray(file.native().size(), 0)});
};
// The same, each read written down ("reads aa"); while the outputs are held, a read of a name
// starting with "a" waits too, as a file system that does not answer.
const sound::AudioWorker::Loader readsLogged = [caller = std::this_thread::get_id()](const std::filesystem::path &file) {
    const bool here = std::this_thread::get_id() == caller;
    outputLog.add(u"reads %1%2"_s.arg(file.string().c_str(), here ? " on the caller's thread" : ""),
                  !here && file.string().starts_with('a'));
    return fakeFiles(file);
};

// Asks for a cue: the call returns at once, well within a frame of the window, whatever holds
// the file system or the output.
void ask(sound::Player &player, const std::string &file)
{
    const auto start = std::chrono::steady_clock::now();
    player.suona(file);
    const auto took = std::chrono::steady_clock::now() - start;
    QVERIFY2(took < std::chrono::milliseconds(50), qPrintable(u"suona took %1 ms"_s.arg(took / 1ms)));
}

} // namespace

class TestSound : public QObject
{
    Q_OBJECT

    QTemporaryDir dir_;

    QString path(const QString &name) const { return dir_.filePath(name); }

private slots:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        QVERIFY(QDir().mkpath(path(u"folder.wav"_s)));
#ifdef Q_OS_UNIX
        QVERIFY(::mkfifo(QFile::encodeName(path(u"fifo.wav"_s)).constData(), 0600) == 0);
#endif
        // A cue file may take 32 MiB. Sparse, so they cost no disk space: a good file of
        // 32 MiB, and one a frame longer.
        const QByteArray head = riff(chunk("fmt ", fmt({.channels = 2, .rate = 192000}))) + "data";
        for (const qint64 size : {32 << 20, (32 << 20) + 4}) {
            const QString name = path(u"%1.wav"_s.arg(size));
            QVERIFY(write(name, head + le(quint32(size - head.size() - 4), 4)));
            QVERIFY(QFile::resize(name, size));
        }
    }

    // A good file gives its format and samples, shown here by the plain file the Windows output
    // writes of them for the system: one PCM format chunk and the data chunk. A broken one gives
    // nothing.
    void readsWav_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QByteArray>("plain"); // empty for a broken file
        const auto row = [](const QString &name, const QByteArray &file, const QByteArray &plain) {
            QTest::newRow(qPrintable(name)) << file << plain;
        };
        const auto bad = [&](const QString &name, const QByteArray &file) { row(name, file, {}); };
        const Fmt m16, s16{.channels = 2, .rate = 192000}, m8{.rate = 4000, .bits = 8};
        const QByteArray fmt16 = chunk("fmt ", fmt(m16)), data16 = chunk("data", mono16);
        const QByteArray mono8 = QByteArray::fromHex("0080ff017fc8");

        row(u"16-bit mono"_s, plain, plain);
        row(u"16-bit stereo, highest rate"_s, wav(s16, stereo16), wav(s16, stereo16));
        row(u"8-bit mono, lowest rate"_s, wav(m8, mono8), wav(m8, mono8));
        row(u"extensible after an odd chunk"_s, withList, wav(extFmt, stereo16));
        row(u"data before fmt"_s, riff(data16 + fmt16), plain);
        row(u"odd data ending the file without its pad byte"_s,
            riff(chunk("fmt ", fmt(m8)) + chunk("data", "\1\2\3", -1, false)), wav(m8, "\1\2\3"));
        row(u"RIFF size 0xFFFFFFFF, cut chunk after the data"_s,
            riff(fmt16 + data16 + chunk("LIST", "abcd", 1000), 0xFFFFFFFF), plain);

        bad(u"RIFX"_s, "RIFX" + plain.mid(4));
        bad(u"not WAVE"_s, QByteArray(plain).replace(8, 4, "AVI "));
        // One field of the format out of bounds (tag 0xFFFE, the extensible format, is below).
        for (const Fmt &f : {Fmt{.tag = 0}, Fmt{.tag = 2}, Fmt{.tag = 3}, Fmt{.tag = 0x55}, Fmt{.tag = 0xFFFF},
                             Fmt{.channels = 0}, Fmt{.channels = 3}, Fmt{.channels = 0xFFFF}, Fmt{.rate = 0},
                             Fmt{.rate = 3999}, Fmt{.rate = 192001}, Fmt{.rate = 0xFFFFFFFF}, Fmt{.bits = 0},
                             Fmt{.bits = 4}, Fmt{.bits = 12}, Fmt{.bits = 24}, Fmt{.bits = 32}, Fmt{.align = 0},
                             Fmt{.align = 1}, Fmt{.align = 4}, Fmt{.align = 0xFFFF}})
            bad(u"tag %1, %2 channels, rate %3, %4 bits, block align %5"_s.arg(f.tag).arg(f.channels).arg(f.rate)
                    .arg(f.bits).arg(f.align), wav(f, mono16));
        bad(u"fmt too short"_s, riff(chunk("fmt ", fmt({}).left(14)) + data16));
        bad(u"extensible float"_s, riff(chunk("fmt ", extensible({}, 3)) + data16));
        bad(u"extension too short"_s, riff(chunk("fmt ", extensible({}, 1, 0, 10)) + data16));
        bad(u"extensible cut to 18 bytes"_s, riff(chunk("fmt ", extensible({}).left(18)) + data16));
        bad(u"more valid bits than stored"_s, riff(chunk("fmt ", extensible({}, 1, 17)) + data16));
        bad(u"no fmt"_s, riff(data16));
        bad(u"no data"_s, riff(fmt16 + chunk("LIST", "abcd")));
        bad(u"empty data"_s, riff(fmt16 + chunk("data", {})));
        bad(u"half a frame"_s, wav({.channels = 2}, mono16.first(6)));
        bad(u"two fmt chunks"_s, riff(fmt16 + fmt16 + data16));
        bad(u"two data chunks"_s, riff(data16 + data16 + fmt16));
        bad(u"odd chunk without its pad byte"_s, riff(chunk("junk", "abc", -1, false) + fmt16 + data16));
        bad(u"unknown chunk size 0xFFFFFFFF"_s, riff(chunk("LIST", "abcd", 0xFFFFFFFF) + fmt16 + data16));
        for (const QByteArray &whole : {plain, withList}) {
            for (qsizetype n = 0; n < whole.size(); ++n)
                bad(u"cut to %1 of %2 bytes"_s.arg(n).arg(whole.size()), whole.first(n));
        }
    }

    void readsWav()
    {
        QFETCH(QByteArray, file);
        QFETCH(QByteArray, plain);
        QByteArray bytes(file.constData(), file.size()); // a copy of its own, spoilt below
        const std::optional<sound::Pcm> pcm = sound::readWav(bytes);
        bytes.fill('\xAA'); // the samples must not point into the caller's bytes
        QCOMPARE(pcm ? sound::wavFile(*pcm) : QByteArray(), plain);
    }

    // One separator at the root; the name kept whole (UTF-8 here, as this file).
    void cuePathAtTheRoot() { QCOMPARE(sound::cuePath("/", u"regione/è.wav").u8string(), u8"/regione/è.wav"); }

    void loadsCueFiles_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("good");
        QTest::newRow("32 MiB") << path(u"%1.wav"_s.arg(32 << 20)) << true;
        QTest::newRow("a frame over 32 MiB") << path(u"%1.wav"_s.arg((32 << 20) + 4)) << false;
        QTest::newRow("missing") << path(u"regione/missing.wav"_s) << false;
        QTest::newRow("folder") << path(u"folder.wav"_s) << false;
#ifdef Q_OS_UNIX
        QTest::newRow("FIFO") << path(u"fifo.wav"_s) << false;
        QTest::newRow("device") << u"/dev/zero"_s << false;
#endif
    }

    void loadsCueFiles()
    {
        QFETCH(QString, file);
        QFETCH(bool, good);
        QCOMPARE(sound::loadWavFile(file.toStdU16String()).has_value(), good);
    }

    // The caller never waits on the output or the file system: a worker stuck for long, on a
    // read or on its output, is left behind for a fresh one, two at most at once; past that, cues
    // wait for the newest. Once the outputs answer, that one plays it and those left behind end
    // without playing anything more; a cue that cannot be read stops the one sounding.
    void neverWaitsOnTheOutput()
    {
        outputLog.hold();
        auto player = std::make_unique<sound::Player>(fakeOutputs, readsLogged);
        for (const auto &[file, event] : {std::pair{"a123456789", "reads a123456789"}, {"xxxxxxxxxxxxxxxxxxxx", "1 plays 20"},
                                         {"xxxxxxxxxxxxxxxxxxxxxxxxxxxxxx", "2 plays 30"}}) {
            ask(*player, file);
            outputLog.waitFor(QString::fromLatin1(event));
            QTest::qWait(stuck);
        }
        ask(*player, std::string(40, 'x'));
        outputLog.release();
        outputLog.waitFor(u"2 plays 40"_s);
        ask(*player, "");
        outputLog.waitFor(u"2 stops"_s);
        player.reset();
        // The worker left behind on its read makes output 3 once the read returns, and drops it unused.
        for (const QString &gone : {u"1 gone"_s, u"2 gone"_s, u"3 gone"_s})
            outputLog.waitFor(gone);
        QStringList log = outputLog.waitFor().filter(QRegularExpression(u"^\\d"_s));
        log.sort();
        QCOMPARE(log.join(u", "_s), u"1 gone, 1 plays 20, 2 gone, 2 plays 30, 2 plays 40, 2 stops, 3 gone"_s);
    }

    // Files are read on the audio thread, the newest request's only, and one read while a newer
    // request came is dropped unplayed.
    void readsOnTheAudioThread()
    {
        outputLog.hold();
        sound::Player player(fakeOutputs, readsLogged);
        ask(player, "aa");
        outputLog.waitFor(u"reads aa"_s);
        ask(player, "bbbb");
        ask(player, "cccccc");
        outputLog.release();
        QCOMPARE(outputLog.waitFor(u"1 plays 6"_s), QStringList({u"reads aa"_s, u"reads cccccc"_s, u"1 plays 6"_s}));
    }

    // A sound call of the whole process (as on Windows) stuck for long keeps its one output: once
    // it returns, its cue, now late, is stopped before the newer cue is even read, and that one
    // sounds through the same output.
    void neverAbandonsAProcessWideCall()
    {
        outputLog.hold();
        sound::Player player(
            [] {
                outputLog.change([] { ++outputLog.outputs; });
                return std::make_unique<sound::PlaySoundOutput>([](const QByteArray *file) {
                    outputLog.add(file ? u"plays %1"_s.arg(file->size()) : u"stops"_s, file);
                    return true;
                });
            },
            readsLogged);
        ask(player, "dddddddd");
        outputLog.waitFor(u"plays 52"_s);
        QTest::qWait(stuck);
        ask(player, "eeeeeeeeee");
        outputLog.release();
        QCOMPARE(outputLog.waitFor(u"plays 54"_s), QStringList({u"reads dddddddd"_s, u"plays 52"_s, u"stops"_s,
                                                               u"reads eeeeeeeeee"_s, u"plays 54"_s}));
        QCOMPARE(outputLog.outputs, 1);
    }
};

QTEST_MAIN(TestSound)
#include "tst_sound.moc"
