#include "TestSupport.h"
#include "platform/Assertions.h"
#include "platform/TextDecoder.h"
#include "platform/TextEncoding.h"
#include "platform/UserDefaults.h"

#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>

class TestPlatform : public QObject
{
    Q_OBJECT

private slots:
    void encodings_data();
    void encodings();
    void encodingNames_data();
    void encodingNames();
    void registeredDefaultsAndUserValues();
    void changesAreAnnouncedByKey();
    void assertionHandler();
};

// The cases of tests/data/encodings/cases.tsv, and one that a text file cannot hold.
void TestPlatform::encodings_data()
{
    tableRows("encodings/cases.tsv");
    QTest::newRow("lone surrogate")
        << QStringList{"refuses-text", "4", "a" + QString(QChar(0xD800)) + "b"};
}

void TestPlatform::encodings()
{
    QFETCH(QStringList, fields);
    const int number = fields[1].toInt();
    // "\xHH" written for a byte.
    const auto bytes = [](const QString &written) {
        QByteArray bytes = written.toUtf8();
        for (qsizetype at; (at = bytes.indexOf("\\x")) >= 0;)
            bytes.replace(at, 4, QByteArray::fromHex(bytes.mid(at + 2, 2)));
        return bytes;
    };
    if (fields[0] == "refuses-bytes") {
        QCOMPARE(TextEncoding::decode(bytes(fields[2]), number), std::nullopt);
    } else if (fields[0] == "refuses-text") {
        QCOMPARE(TextEncoding::encode(fields[2], number), std::nullopt);
    } else if (fields[0] == "stream") {
        TextDecoder decoder(number);
        QString decoded;
        for (const QString &piece : fields[2].split(u'|'))
            decoded += decoder.decode(bytes(piece));
        QCOMPARE(decoded + decoder.finish(), fields[3]);
    } else {
        const QString text = fields[2];
        const std::optional<QByteArray> encoded = TextEncoding::encode(text, number);
        QVERIFY(encoded);
        if (number != TextEncoding::UTF8)
            QCOMPARE(encoded->size(), text.size());
        QCOMPARE(TextEncoding::decode(*encoded, number), std::optional<QString>(text));
        QVERIFY(!TextEncoding::label(number).isEmpty());
        QCOMPARE(TextEncoding::decode(QByteArray(), number), std::optional<QString>(QString()));
        // The ISO sets and Mac OS Roman define all 256 bytes: none may be refused or altered.
        if (number == 5 || number == 9 || number == 30) {
            QByteArray everyByte(256, 0);
            for (int b = 0; b < 256; ++b)
                everyByte[b] = char(b);
            const std::optional<QString> decoded = TextEncoding::decode(everyByte, number);
            QVERIFY(decoded && decoded->size() == 256);
            QCOMPARE(TextEncoding::encode(*decoded, number), std::optional<QByteArray>(everyByte));
        }
    }
}

void TestPlatform::encodingNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("number"); // 0 for a name of no encoding

    const QList<std::pair<const char *, int>> names = {
        {"UTF-8", 4},
        {"utf8", 4},
        {"UTF-8 Unicode", 4},
        {"Unicode UTF-8", 4},
        {"ISO-8859-1", 5},
        {"latin1", 5},
        {"ISO8859-1", 5},
        {"IsoLatin", 5},
        {"iso_8859-1", 5},
        {"ISO-8859-2", 9},
        {"Latin2", 9},
        {"windows-1250", 15},
        {"cp1250", 15},
        {"Windows-1251", 11},
        {"cp1251", 11},
        {"windows-1252", 12},
        {"CP1252", 12},
        {"ansinew", 12},
        {"MacRoman", 30},
        {"applemac", 30},
        {"Mac OS Roman", 30},
        {"latin9", 0},
        {"UTF-16", 0},
        {"utf", 0},
        {"", 0},
        {"latin1 (ISO)", 0},
        {"8859-1", 0},
    };
    for (const auto &[name, number] : names)
        QTest::newRow(name) << QString::fromLatin1(name) << number;
}

void TestPlatform::encodingNames()
{
    QFETCH(QString, name);
    QFETCH(int, number);
    QCOMPARE(TextEncoding::numberForName(name).value_or(0), number);
}

// What the user sets wins over the registered default, survives in the settings file,
// and once removed gives the default again; registering writes nothing.
void TestPlatform::registeredDefaultsAndUserValues()
{
    TestFolder folder;
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    defaults.setObject(12, QSFileEncoding);
    defaults.setObject(QVariantMap{{QStringLiteral("width"), 312.5}}, QSOutlineViewInfo);
    defaults.synchronize();
    QCOMPARE(defaults.integerForKey(QSFileEncoding), 12);
    QSettings stored(folder.path(QStringLiteral("settings.ini")), QSettings::IniFormat);
    QCOMPARE(stored.value(QSFileEncoding).toInt(), 12);
    QCOMPARE(stored.value(QSOutlineViewInfo).toMap().value(QStringLiteral("width")).toDouble(),
             312.5);
    QVERIFY(!stored.contains(QSWindowInfo));
    defaults.removeObjectForKey(QSFileEncoding);
    QCOMPARE(defaults.integerForKey(QSFileEncoding), 4);
}

// Each change of what a key reads is announced with the key; setting what it reads
// already, or removing what is not stored, announces nothing.
void TestPlatform::changesAreAnnouncedByKey()
{
    TestFolder folder;
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    QSignalSpy changed(&defaults, &UserDefaults::valueChanged);
    defaults.setObject(4, QSFileEncoding);
    defaults.setObject(12, QSFileEncoding);
    defaults.setObject(12, QSFileEncoding);
    defaults.removeObjectForKey(QSFileEncoding);
    defaults.removeObjectForKey(QSFileEncoding);
    defaults.setObject(QStringLiteral("xelatex"), QSSelectedEngineExec);
    QStringList keys;
    for (const QList<QVariant> &signal : std::as_const(changed))
        keys << signal.at(0).toString();
    QCOMPARE(keys, QStringList({QSFileEncoding, QSFileEncoding, QSSelectedEngineExec}));
}

void TestPlatform::assertionHandler()
{
    try {
        QS_ASSERT(1 + 1 == 3, "path is nil");
        QFAIL("the default handler must throw");
    } catch (const QSInternalInconsistency &error) {
        // "description in function (file:line)"
        const QRegularExpression format(
            R"(^path is nil in .*assertionHandler.* \(.*tst_platform\.cpp:\d+\)$)");
        QVERIFY2(format.match(QString::fromUtf8(error.what())).hasMatch(), error.what());
    }

    QStringList seen;
    qsSetAssertionHandler([&](const char *description, const char *, const char *, int line) {
        seen << QStringLiteral("%1@%2").arg(QString::fromUtf8(description)).arg(line > 0);
    });
    QCOMPARE(QS_ASSERT(true, "never"), true);
    QCOMPARE(QS_ASSERT(false, "url was nil"), false);
    QCOMPARE(seen, QStringList({"url was nil@1"}));
    qsSetAssertionHandler({});
    QVERIFY_THROWS_EXCEPTION(QSInternalInconsistency, QS_ASSERT(false, "again"));
}

QUILLSET_TEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
