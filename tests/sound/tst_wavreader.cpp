// The WAV reader against well-formed files and a corpus of broken ones.

#include "sound/wavreader.h"
#include "wavfiles.h"

#include <QRandomGenerator>
#include <QTest>

using namespace wavfiles;

namespace {

const QByteArray mono16 = pcm16({0, 1, -1, 32767, -32768, 1234});
const QByteArray stereo16 = pcm16({100, -100, 2000, -2000, 32767, -32768});
const QByteArray mono8 = pcm8({0, 128, 255, 1, 127, 200});
const QByteArray stereo8 = pcm8({10, 250, 128, 128});

QByteArray fmtChunk(const Fmt &f)
{
    return chunk("fmt ", fmtBody(f));
}

QByteArray dataChunk(const QByteArray &samples)
{
    return chunk("data", samples);
}

QByteArray garbage(int size, quint32 seed)
{
    QRandomGenerator rng(seed);
    QByteArray b(size, '\0');
    for (char &c : b)
        c = char(rng.bounded(256));
    return b;
}

} // namespace

class TestWavReader : public QObject
{
    Q_OBJECT

private slots:
    void accepted_data();
    void accepted();
    void rejected_data();
    void rejected();
    void everyTruncationIsRejected_data();
    void everyTruncationIsRejected();
    void samplesAreCopied();
};

void TestWavReader::accepted_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("bits");
    QTest::addColumn<QByteArray>("samples");

    const Fmt m16{1, 1, 16000, 16};
    const Fmt s16{1, 2, 44100, 16};
    const Fmt m8{1, 1, 8000, 8};
    const Fmt s8{1, 2, 22050, 8};

    QTest::newRow("16-bit mono") << wav(m16, mono16) << 1 << 16000 << 16 << mono16;
    QTest::newRow("16-bit stereo") << wav(s16, stereo16) << 2 << 44100 << 16 << stereo16;
    QTest::newRow("8-bit mono") << wav(m8, mono8) << 1 << 8000 << 8 << mono8;
    QTest::newRow("8-bit stereo") << wav(s8, stereo8) << 2 << 22050 << 8 << stereo8;
    QTest::newRow("lowest rate") << wav(Fmt{1, 1, 4000, 16}, mono16) << 1 << 4000 << 16 << mono16;
    QTest::newRow("highest rate")
        << wav(Fmt{1, 2, 192000, 16}, stereo16) << 2 << 192000 << 16 << stereo16;

    QTest::newRow("extensible PCM")
        << riff(chunk("fmt ", extensibleFmtBody(s16)) + dataChunk(stereo16)) << 2 << 44100 << 16
        << stereo16;
    QTest::newRow("extensible PCM, 12 valid bits")
        << riff(chunk("fmt ", extensibleFmtBody(m16, 1, 12)) + dataChunk(mono16)) << 1 << 16000
        << 16 << mono16;
    QTest::newRow("fmt with an empty extension")
        << riff(chunk("fmt ", fmtBody(m16) + le16(0)) + dataChunk(mono16)) << 1 << 16000 << 16
        << mono16;

    QTest::newRow("unknown chunks before data")
        << riff(chunk("LIST", QByteArray("INFOISFT\x04\0\0\0sox\0", 16)) + fmtChunk(m16)
                + chunk("fact", le32(6)) + dataChunk(mono16))
        << 1 << 16000 << 16 << mono16;
    QTest::newRow("odd chunk padded before fmt")
        << riff(chunk("junk", "abc") + fmtChunk(m16) + dataChunk(mono16)) << 1 << 16000 << 16
        << mono16;
    QTest::newRow("odd chunk padded between fmt and data")
        << riff(fmtChunk(m8) + chunk("note", "x") + dataChunk(mono8)) << 1 << 8000 << 8 << mono8;
    QTest::newRow("odd data chunk, padded") << riff(fmtChunk(m8) + dataChunk(pcm8({1, 2, 3})))
                                            << 1 << 8000 << 8 << pcm8({1, 2, 3});
    QTest::newRow("odd data chunk, last byte of file")
        << riff(fmtChunk(m8) + chunk("data", pcm8({1, 2, 3}), std::nullopt, false)) << 1 << 8000
        << 8 << pcm8({1, 2, 3});
    QTest::newRow("data before fmt")
        << riff(dataChunk(stereo8) + fmtChunk(s8)) << 2 << 22050 << 8 << stereo8;
    QTest::newRow("cut chunk after the data")
        << riff(fmtChunk(m16) + dataChunk(mono16) + chunk("LIST", "abcd", 1000)) << 1 << 16000
        << 16 << mono16;
    QTest::newRow("trailing bytes after the data")
        << riff(fmtChunk(m16) + dataChunk(mono16)) + "xyz" << 1 << 16000 << 16 << mono16;
    QTest::newRow("RIFF size 0") << riff(fmtChunk(m16) + dataChunk(mono16), 0) << 1 << 16000
                                 << 16 << mono16;
    QTest::newRow("RIFF size 0xFFFFFFFF")
        << riff(fmtChunk(m16) + dataChunk(mono16), 0xFFFFFFFF) << 1 << 16000 << 16 << mono16;
    QTest::newRow("wrong byte rate")
        << wav(Fmt{1, 1, 16000, 16, std::nullopt, 12345}, mono16) << 1 << 16000 << 16 << mono16;
}

void TestWavReader::accepted()
{
    QFETCH(QByteArray, file);
    QFETCH(int, channels);
    QFETCH(int, rate);
    QFETCH(int, bits);
    QFETCH(QByteArray, samples);

    const std::optional<sound::Pcm> pcm = sound::readWav(file);
    QVERIFY(pcm.has_value());
    QCOMPARE(pcm->channels, channels);
    QCOMPARE(pcm->sampleRate, rate);
    QCOMPARE(pcm->bitsPerSample, bits);
    QCOMPARE(pcm->samples, samples);
}

void TestWavReader::rejected_data()
{
    QTest::addColumn<QByteArray>("file");

    const Fmt m16{1, 1, 16000, 16};
    const QByteArray goodFmt = fmtChunk(m16);
    const QByteArray goodData = dataChunk(mono16);

    QTest::newRow("empty") << QByteArray();
    QTest::newRow("RIFF only") << QByteArray("RIFF");
    QTest::newRow("header only") << riff(QByteArray());
    QTest::newRow("RIFX") << QByteArray("RIFX") + wav(m16, mono16).mid(4);
    QTest::newRow("not WAVE") << wav(m16, mono16).replace(8, 4, "AVI ");
    QTest::newRow("garbage") << garbage(4096, 1);
    QTest::newRow("garbage after a RIFF header") << riff(garbage(4096, 2));
    QTest::newRow("text") << QByteArray("This is not a sound, just words.\n");

    for (quint16 tag : {0, 2, 3, 6, 7, 0x11, 0x55, 0xFFFF}) {
        Fmt f = m16;
        f.tag = tag;
        QTest::addRow("format tag %d", int(tag)) << wav(f, mono16);
    }
    for (quint16 bits : {0, 4, 12, 24, 32, 64}) {
        Fmt f = m16;
        f.bits = bits;
        QTest::addRow("%d bits", int(bits)) << wav(f, mono16 + mono16 + mono16 + mono16);
    }
    for (quint16 channels : {0, 3, 6, 0xFFFF}) {
        Fmt f = m16;
        f.channels = channels;
        QTest::addRow("%d channels", int(channels)) << wav(f, mono16 + mono16 + mono16);
    }
    for (quint32 rate : {0u, 1u, 3999u, 192001u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
        Fmt f = m16;
        f.rate = rate;
        QTest::addRow("rate %u", rate) << wav(f, mono16);
    }
    for (quint16 align : {0, 1, 4, 0xFFFF}) {
        Fmt f = m16;
        f.blockAlign = align;
        QTest::addRow("block align %d", int(align)) << wav(f, mono16);
    }

    QTest::newRow("fmt too short") << riff(chunk("fmt ", fmtBody(m16).left(14)) + goodData);
    QTest::newRow("extensible float")
        << riff(chunk("fmt ", extensibleFmtBody(m16, 3)) + goodData);
    QTest::newRow("extensible, extension too short")
        << riff(chunk("fmt ", extensibleFmtBody(m16, 1, 0, 10)) + goodData);
    QTest::newRow("extensible, fmt cut to 18 bytes")
        << riff(chunk("fmt ", extensibleFmtBody(m16).left(18)) + goodData);
    QTest::newRow("extensible, more valid bits than stored")
        << riff(chunk("fmt ", extensibleFmtBody(m16, 1, 17)) + goodData);
    QTest::newRow("extensible 24-bit")
        << riff(chunk("fmt ", extensibleFmtBody(Fmt{1, 1, 16000, 24})) + dataChunk(mono16));

    QTest::newRow("no fmt") << riff(goodData);
    QTest::newRow("no data") << riff(goodFmt);
    QTest::newRow("no data, unknown chunk") << riff(goodFmt + chunk("LIST", "abcd"));
    QTest::newRow("empty data") << riff(goodFmt + dataChunk(QByteArray()));
    QTest::newRow("half a 16-bit frame") << wav(m16, mono16 + pcm8({1}));
    QTest::newRow("half a stereo frame") << wav(Fmt{1, 2, 16000, 16}, pcm16({1, 2, 3}));
    QTest::newRow("two fmt chunks") << riff(goodFmt + goodFmt + goodData);
    QTest::newRow("two data chunks before fmt") << riff(goodData + goodData + goodFmt);

    QTest::newRow("data one byte longer than the file")
        << riff(goodFmt + chunk("data", mono16, quint32(mono16.size() + 1)));
    QTest::newRow("data much longer than the file")
        << riff(goodFmt + chunk("data", mono16, 1000000));
    for (quint32 size : {0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFEu, 0xFFFFFFFFu}) {
        QTest::addRow("data size 0x%X", size) << riff(goodFmt + chunk("data", mono16, size));
        QTest::addRow("fmt size 0x%X", size) << riff(chunk("fmt ", fmtBody(m16), size) + goodData);
        QTest::addRow("unknown chunk size 0x%X", size)
            << riff(chunk("LIST", "abcd", size) + goodFmt + goodData);
    }
    QTest::newRow("odd chunk without its pad byte")
        << riff(chunk("junk", "abc", std::nullopt, false) + goodFmt + goodData);
    QTest::newRow("chunk header cut") << riff(goodFmt + QByteArray("data\x0c\0", 6));
}

void TestWavReader::rejected()
{
    QFETCH(QByteArray, file);
    QVERIFY(!sound::readWav(file).has_value());
}

void TestWavReader::everyTruncationIsRejected_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::newRow("16-bit mono") << wav(Fmt{1, 1, 16000, 16}, mono16);
    QTest::newRow("8-bit stereo") << wav(Fmt{1, 2, 11025, 8}, stereo8);
    QTest::newRow("extensible with a LIST chunk")
        << riff(chunk("LIST", "abcdefg") + chunk("fmt ", extensibleFmtBody(Fmt{1, 2, 48000, 16}))
                + dataChunk(stereo16));
}

void TestWavReader::everyTruncationIsRejected()
{
    QFETCH(QByteArray, file);
    QVERIFY(sound::readWav(file).has_value());
    for (qsizetype length = 0; length < file.size(); ++length) {
        if (sound::readWav(QByteArrayView(file).first(length)).has_value())
            QFAIL(qPrintable(QStringLiteral("accepted when cut to %1 bytes").arg(length)));
    }
}

void TestWavReader::samplesAreCopied()
{
    // The result must not point into the caller's bytes, which may be freed.
    QByteArray file = wav(Fmt{1, 1, 16000, 16}, mono16);
    const std::optional<sound::Pcm> pcm = sound::readWav(file);
    QVERIFY(pcm.has_value());
    file.fill('\xAA');
    file.clear();
    file.squeeze();
    QCOMPARE(pcm->samples, mono16);
}

QTEST_APPLESS_MAIN(TestWavReader)
#include "tst_wavreader.moc"
