// Cue paths: the program's folder joined with a cue's relative name, in
// Unicode, and the file found there.

#include "sound/cuefile.h"
#include "sound/cuepath.h"
#include "wavfiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestCuePath : public QObject
{
    Q_OBJECT

private slots:
    void joins_data();
    void joins();
    void findsTheFileBelowAUnicodeFolder();
};

void TestCuePath::joins_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("relative");
    QTest::addColumn<QString>("expected");

    QTest::newRow("plain") << u"/opt/zefirana"_s << u"regione/toscana.wav"_s
                           << u"/opt/zefirana/regione/toscana.wav"_s;
    QTest::newRow("accents and blanks")
        << u"/tmp/Scuola Elementare/Perù è"_s << u"regione/esatto.wav"_s
        << u"/tmp/Scuola Elementare/Perù è/regione/esatto.wav"_s;
    QTest::newRow("root folder") << u"/"_s << u"regione/valle.wav"_s << u"/regione/valle.wav"_s;
    QTest::newRow("folder with a trailing separator")
        << u"/home/maestra/"_s << u"regione/lazio.wav"_s << u"/home/maestra/regione/lazio.wav"_s;
    QTest::newRow("characters outside the BMP and other scripts")
        << u"/srv/🎒 classe/Ελληνικά"_s << u"regione/sicilia.wav"_s
        << u"/srv/🎒 classe/Ελληνικά/regione/sicilia.wav"_s;
#ifdef Q_OS_WIN
    QTest::newRow("drive root") << u"C:/"_s << u"regione/molise.wav"_s
                                << u"C:/regione/molise.wav"_s;
#endif
}

void TestCuePath::joins()
{
    QFETCH(QString, folder);
    QFETCH(QString, relative);
    QFETCH(QString, expected);
    QCOMPARE(sound::cuePath(folder, relative), expected);
}

void TestCuePath::findsTheFileBelowAUnicodeFolder()
{
    QTemporaryDir base;
    QVERIFY(base.isValid());
    const QString folder = base.filePath(u"Scuola Elementare/Perù è"_s);
    QVERIFY(QDir().mkpath(folder + u"/regione"_s));

    const QByteArray samples = wavfiles::pcm16({5, -5, 300, -300});
    QFile file(folder + u"/regione/toscana.wav"_s);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(wavfiles::wav(wavfiles::Fmt{}, samples));
    file.close();

    const std::optional<sound::Pcm> pcm =
        sound::loadWavFile(sound::cuePath(folder, u"regione/toscana.wav"));
    QVERIFY(pcm.has_value());
    QCOMPARE(pcm->samples, samples);
}

QTEST_APPLESS_MAIN(TestCuePath)
#include "tst_cuepath.moc"
