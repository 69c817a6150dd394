// The version record and the icon of Zefirana.exe, as the Windows resource compiler builds
// them from app/zefirana.rc. The script is compiled here with the MinGW resource compiler into
// a .res file, whose bytes are then read back with a parser of the format written below.

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <optional>

namespace {

constexpr quint16 kRtIcon = 3;
constexpr quint16 kRtGroupIcon = 14;
constexpr quint16 kRtVersion = 16;
constexpr quint16 kItalian = 0x0410;
constexpr quint16 kNeutral = 0x0000;
constexpr quint16 kIconImageId = 30001;
constexpr qsizetype kIconImageSize = 744;

qsizetype align4(qsizetype n) { return (n + 3) & ~qsizetype(3); }

// Little-endian reader over a byte array that reports running past the end instead of reading it.
class Reader
{
public:
    explicit Reader(const QByteArray &data, qsizetype pos = 0) : m_data(data), m_pos(pos) {}
    qsizetype pos() const { return m_pos; }
    void seek(qsizetype pos) { m_pos = pos; }
    bool ok() const { return m_ok; }
    bool atEnd() const { return m_pos >= m_data.size(); }

    quint16 u16()
    {
        if (!need(2))
            return 0;
        const auto v = qFromLittleEndian<quint16>(m_data.constData() + m_pos);
        m_pos += 2;
        return v;
    }
    quint32 u32()
    {
        if (!need(4))
            return 0;
        const auto v = qFromLittleEndian<quint32>(m_data.constData() + m_pos);
        m_pos += 4;
        return v;
    }
    QByteArray bytes(qsizetype n)
    {
        if (n < 0 || !need(n))
            return {};
        const QByteArray v = m_data.mid(m_pos, n);
        m_pos += n;
        return v;
    }
    // A zero-terminated UTF-16 string.
    QString wstring()
    {
        QString s;
        for (quint16 c = u16(); m_ok && c != 0; c = u16())
            s.append(QChar(c));
        return s;
    }

private:
    bool need(qsizetype n)
    {
        if (m_pos + n > m_data.size())
            m_ok = false;
        return m_ok;
    }

    const QByteArray &m_data;
    qsizetype m_pos;
    bool m_ok = true;
};

// A type or a name in a resource header: a number, or a string.
struct NameOrId
{
    std::optional<quint16> id;
    QString name;
    bool operator==(quint16 n) const { return id && *id == n; }
};

NameOrId readNameOrId(Reader &r)
{
    NameOrId v;
    if (r.u16() == 0xFFFF) {
        v.id = r.u16();
    } else {
        r.seek(r.pos() - 2);
        v.name = r.wstring();
    }
    return v;
}

struct Resource
{
    NameOrId type;
    NameOrId name;
    quint16 language = 0;
    QByteArray data;
};

// A .res file is a list of entries: DataSize, HeaderSize, TYPE, NAME, (padding), DataVersion,
// MemoryFlags, LanguageId, Version, Characteristics, then the data padded to four bytes. The
// first entry is an empty one that marks the file as 32-bit.
std::optional<QList<Resource>> parseRes(const QByteArray &file)
{
    QList<Resource> list;
    Reader r(file);
    bool first = true;
    while (!r.atEnd()) {
        const qsizetype start = r.pos();
        const quint32 dataSize = r.u32();
        const quint32 headerSize = r.u32();
        Resource res;
        res.type = readNameOrId(r);
        res.name = readNameOrId(r);
        r.seek(align4(r.pos()));
        r.u32(); // DataVersion
        r.u16(); // MemoryFlags
        res.language = r.u16();
        r.u32(); // Version
        r.u32(); // Characteristics
        if (!r.ok() || r.pos() != start + qsizetype(headerSize))
            return std::nullopt;
        res.data = r.bytes(dataSize);
        if (!r.ok())
            return std::nullopt;
        r.seek(align4(r.pos()));
        if (first) {
            // The marker entry: no data, type 0, name 0.
            if (dataSize != 0 || !(res.type == 0) || !(res.name == 0))
                return std::nullopt;
            first = false;
            continue;
        }
        list.append(res);
    }
    if (first)
        return std::nullopt;
    return list;
}

// One node of the version record: wLength, wValueLength, wType, szKey, padding, Value,
// padding, Children. Text values (wType 1) count their length in UTF-16 units, binary ones
// in bytes. Offsets are from the start of the resource data, which is aligned.
struct VersionNode
{
    QString key;
    quint16 type = 0;
    QByteArray value;
    QList<VersionNode> children;

    QString text() const
    {
        QString s = QString::fromUtf16(reinterpret_cast<const char16_t *>(value.constData()),
                                       value.size() / 2);
        if (s.endsWith(QChar(0)))
            s.chop(1);
        return s;
    }
    const VersionNode *child(const QString &k) const
    {
        for (const VersionNode &c : children)
            if (c.key == k)
                return &c;
        return nullptr;
    }
};

bool parseVersionNode(const QByteArray &data, qsizetype offset, VersionNode &node, qsizetype &length)
{
    Reader r(data, offset);
    length = r.u16();
    const quint16 valueLength = r.u16();
    node.type = r.u16();
    node.key = r.wstring();
    const qsizetype end = offset + length;
    if (!r.ok() || length < 6 || end > data.size() || node.type > 1)
        return false;
    r.seek(align4(r.pos()));
    node.value = r.bytes(node.type == 1 ? 2 * qsizetype(valueLength) : qsizetype(valueLength));
    if (!r.ok() || r.pos() > end)
        return false;
    qsizetype pos = align4(r.pos());
    while (pos < end) {
        VersionNode child;
        qsizetype childLength = 0;
        if (!parseVersionNode(data, pos, child, childLength) || pos + childLength > end)
            return false;
        node.children.append(child);
        pos = align4(pos + childLength);
    }
    return true;
}

QString resourceName(const NameOrId &n)
{
    return n.id ? QString::number(*n.id) : QLatin1Char('"') + n.name + QLatin1Char('"');
}

} // namespace

class VersionRecordTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void resourcesAndLanguages();
    void fixedInfo_data();
    void fixedInfo();
    void stringTable();
    void strings_data();
    void strings();
    void translation();
    void iconGroup();
    void iconImage();

private:
    const Resource *find(quint16 type, quint16 name) const;

    QString m_sourceDir;
    QList<Resource> m_resources;
    VersionNode m_version;
};

void VersionRecordTest::initTestCase()
{
    const QString windres = QStandardPaths::findExecutable(QStringLiteral("x86_64-w64-mingw32-windres"));
    if (windres.isEmpty())
        QSKIP("x86_64-w64-mingw32-windres not found (Debian package binutils-mingw-w64-x86-64): "
              "the Windows version record is not checked");
    if (QStandardPaths::findExecutable(QStringLiteral("cpp")).isEmpty())
        QSKIP("the C preprocessor cpp, which windres runs, was not found: the Windows version record is not checked");

    m_sourceDir = qEnvironmentVariable("ZEFIRANA_SOURCE_DIR");
    QVERIFY2(!m_sourceDir.isEmpty(), "ZEFIRANA_SOURCE_DIR is not set");

    QTemporaryDir out;
    QVERIFY(out.isValid());
    const QString res = out.filePath(QStringLiteral("zefirana.res"));
    QProcess proc;
    proc.start(windres, {QStringLiteral("--preprocessor=cpp"), QStringLiteral("-i"),
                         m_sourceDir + QStringLiteral("/app/zefirana.rc"), QStringLiteral("-O"),
                         QStringLiteral("res"), QStringLiteral("-o"), res});
    QVERIFY2(proc.waitForFinished(60000), "windres did not finish");
    QVERIFY2(proc.exitStatus() == QProcess::NormalExit && proc.exitCode() == 0,
             proc.readAllStandardError().constData());

    QFile file(res);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const auto parsed = parseRes(file.readAll());
    QVERIFY2(parsed, "the compiled .res file is malformed");
    m_resources = *parsed;

    const Resource *version = find(kRtVersion, 1);
    QVERIFY2(version, "no version resource 1");
    qsizetype length = 0;
    QVERIFY2(parseVersionNode(version->data, 0, m_version, length), "the version record is malformed");
    QCOMPARE(length, version->data.size());
}

const Resource *VersionRecordTest::find(quint16 type, quint16 name) const
{
    for (const Resource &r : m_resources)
        if (r.type == type && r.name == name)
            return &r;
    return nullptr;
}

void VersionRecordTest::resourcesAndLanguages()
{
    // Exactly the icon image, the icon group and the version record, each once, under its language.
    QStringList found;
    for (const Resource &r : m_resources)
        found << QStringLiteral("%1/%2/%3").arg(resourceName(r.type), resourceName(r.name)).arg(r.language, 4, 16, QLatin1Char('0'));
    found.sort();
    QStringList expected = {
        QStringLiteral("3/30001/%1").arg(kNeutral, 4, 16, QLatin1Char('0')),
        QStringLiteral("14/1/%1").arg(kNeutral, 4, 16, QLatin1Char('0')),
        QStringLiteral("16/1/%1").arg(kItalian, 4, 16, QLatin1Char('0')),
    };
    expected.sort();
    QCOMPARE(found, expected);
}

void VersionRecordTest::fixedInfo_data()
{
    QTest::addColumn<int>("offset");
    QTest::addColumn<quint32>("expected");
    // VS_FIXEDFILEINFO, thirteen 32-bit fields.
    QTest::newRow("signature") << 0 << quint32(0xFEEF04BD);
    QTest::newRow("structure version") << 4 << quint32(0x00010000);
    QTest::newRow("file version 2.0") << 8 << quint32(0x00020000);
    QTest::newRow("file version .0.0") << 12 << quint32(0);
    QTest::newRow("product version 2.0") << 16 << quint32(0x00020000);
    QTest::newRow("product version .0.0") << 20 << quint32(0);
    QTest::newRow("flags mask") << 24 << quint32(0);
    QTest::newRow("flags") << 28 << quint32(0);
    QTest::newRow("operating system: 32-bit Windows") << 32 << quint32(4);
    QTest::newRow("file type: application") << 36 << quint32(1);
    QTest::newRow("file subtype") << 40 << quint32(0);
    QTest::newRow("file date, high") << 44 << quint32(0);
    QTest::newRow("file date, low") << 48 << quint32(0);
}

void VersionRecordTest::fixedInfo()
{
    QFETCH(int, offset);
    QFETCH(quint32, expected);
    QCOMPARE(m_version.key, QStringLiteral("VS_VERSION_INFO"));
    QCOMPARE(m_version.type, quint16(0));
    QCOMPARE(m_version.value.size(), 52);
    QCOMPARE(qFromLittleEndian<quint32>(m_version.value.constData() + offset), expected);
}

static const QList<std::pair<QString, QString>> &expectedStrings()
{
    static const QList<std::pair<QString, QString>> strings = {
        {QStringLiteral("Comments"), QStringLiteral("Zefirana")},
        {QStringLiteral("CompanyName"), QStringLiteral("Gli sviluppatori di Zefirana")},
        {QStringLiteral("LegalCopyright"), QStringLiteral("Software libero per la scuola")},
        {QStringLiteral("ProductName"), QStringLiteral("Zefirana")},
        {QStringLiteral("FileVersion"), QStringLiteral("2.00")},
        {QStringLiteral("ProductVersion"), QStringLiteral("2.00")},
        {QStringLiteral("InternalName"), QStringLiteral("Zefirana")},
        {QStringLiteral("OriginalFilename"), QStringLiteral("Zefirana.exe")},
    };
    return strings;
}

void VersionRecordTest::stringTable()
{
    // One string table, "041004B0" (Italian, Unicode), holding the keys in this order.
    QStringList blocks;
    for (const VersionNode &c : m_version.children)
        blocks << c.key;
    QCOMPARE(blocks, QStringList({QStringLiteral("StringFileInfo"), QStringLiteral("VarFileInfo")}));
    const VersionNode *info = m_version.child(QStringLiteral("StringFileInfo"));
    QCOMPARE(info->children.size(), 1);
    QCOMPARE(info->children.first().key, QStringLiteral("041004B0"));

    QStringList keys;
    for (const VersionNode &s : info->children.first().children)
        keys << s.key;
    QStringList expectedKeys;
    for (const auto &[key, value] : expectedStrings())
        expectedKeys << key;
    QCOMPARE(keys, expectedKeys);
}

void VersionRecordTest::strings_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    for (const auto &[key, value] : expectedStrings())
        QTest::newRow(qPrintable(key)) << key << value;
}

void VersionRecordTest::strings()
{
    QFETCH(QString, key);
    QFETCH(QString, value);
    const VersionNode *info = m_version.child(QStringLiteral("StringFileInfo"));
    QVERIFY(info);
    const VersionNode *table = info->child(QStringLiteral("041004B0"));
    QVERIFY(table);
    const VersionNode *entry = table->child(key);
    QVERIFY2(entry, qPrintable(key + QStringLiteral(" is missing")));
    QCOMPARE(entry->type, quint16(1));
    QCOMPARE(entry->text(), value);
}

void VersionRecordTest::translation()
{
    const VersionNode *var = m_version.child(QStringLiteral("VarFileInfo"));
    QVERIFY(var);
    QCOMPARE(var->children.size(), 1);
    const VersionNode &tr = var->children.first();
    QCOMPARE(tr.key, QStringLiteral("Translation"));
    QCOMPARE(tr.type, quint16(0));
    // Language 0x0410 paired with code page 0x04B0 (1200, UTF-16).
    QCOMPARE(tr.value, QByteArray::fromHex("1004b004"));
}

void VersionRecordTest::iconGroup()
{
    const Resource *group = find(kRtGroupIcon, 1);
    QVERIFY(group);
    // GRPICONDIR: reserved 0, type 1 (icon), one entry; the entry is 14 bytes.
    QCOMPARE(group->data.size(), 6 + 14);
    Reader r(group->data);
    QCOMPARE(r.u16(), quint16(0));
    QCOMPARE(r.u16(), quint16(1));
    QCOMPARE(r.u16(), quint16(1));
    const QByteArray entry = r.bytes(8);
    QCOMPARE(quint8(entry[0]), quint8(32)); // width
    QCOMPARE(quint8(entry[1]), quint8(32)); // height
    QCOMPARE(quint8(entry[2]), quint8(16)); // colours
    QCOMPARE(quint8(entry[3]), quint8(0));
    Reader e(entry, 4);
    QCOMPARE(e.u16(), quint16(1)); // planes
    QCOMPARE(e.u16(), quint16(4)); // bits per pixel
    QCOMPARE(r.u32(), quint32(kIconImageSize));
    QCOMPARE(r.u16(), kIconImageId);
    QVERIFY(r.ok());
}

void VersionRecordTest::iconImage()
{
    // The image is the one in resources/flag.ico, byte for byte.
    QFile ico(m_sourceDir + QStringLiteral("/resources/flag.ico"));
    QVERIFY2(ico.open(QIODevice::ReadOnly), qPrintable(ico.fileName()));
    const QByteArray icoData = ico.readAll();
    Reader r(icoData);
    QCOMPARE(r.u16(), quint16(0));
    QCOMPARE(r.u16(), quint16(1));
    QCOMPARE(r.u16(), quint16(1));
    r.bytes(8);
    const quint32 size = r.u32();
    const quint32 offset = r.u32();
    QVERIFY(r.ok());
    QCOMPARE(qsizetype(size), kIconImageSize);
    QVERIFY(qsizetype(offset) + size <= icoData.size());
    const QByteArray expected = icoData.mid(offset, size);

    const Resource *image = find(kRtIcon, kIconImageId);
    QVERIFY(image);
    QCOMPARE(image->data.size(), kIconImageSize);
    QVERIFY2(image->data == expected,
             "the icon image of the program differs from resources/flag.ico: "
             "run tools/winres/split-ico.py again");
    // BITMAPINFOHEADER: 40 bytes, 32 wide, 64 high (image and mask), 1 plane, 4 bits per pixel.
    Reader h(image->data);
    QCOMPARE(h.u32(), quint32(40));
    QCOMPARE(h.u32(), quint32(32));
    QCOMPARE(h.u32(), quint32(64));
    QCOMPARE(h.u16(), quint16(1));
    QCOMPARE(h.u16(), quint16(4));
}

QTEST_GUILESS_MAIN(VersionRecordTest)
#include "tst_versionrecord.moc"
