#include "TestSupport.h"
#include "platform/Assertions.h"
#include "platform/TextDecoder.h"
#include "platform/TextEncoding.h"
#include "platform/UserDefaults.h"

#include <QRegularExpression>
#include <QSettings>

class TestPlatform : public QObject
{
    Q_OBJECT

private slots:
    void roundTripsEveryEncoding_data();
    void roundTripsEveryEncoding();
    void refusesWhatDoesNotConvert_data();
    void refusesWhatDoesNotConvert();
    void decodesAStreamInPieces_data();
    void decodesAStreamInPieces();
    void registeredDefaultsAndUserValues();
    void assertionHandler();
};

void TestPlatform::roundTripsEveryEncoding_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("text");
    QTest::newRow("UTF-8") << 4 << QStringLiteral("Grüße — 日本 😀 \\section{Été}");
    QTest::newRow("UTF-8, three bytes a character") << 4 << QStringLiteral("日本語");
    QTest::newRow("ISO-Latin1") << 5 << QStringLiteral("Grüße ÿ ©");
    QTest::newRow("ISO-Latin2") << 9 << QStringLiteral("Zażółć gęślą jaźń");
    QTest::newRow("Cyrillic") << 11 << QStringLiteral("Привет, мир");
    QTest::newRow("Windows latin1") << 12 << QStringLiteral("Grüße — €");
    QTest::newRow("Windows latin2") << 15 << QStringLiteral("Zażółć — €");
    QTest::newRow("Mac OS Roman") << 30 << QStringLiteral("Grüße — ƒπ");
}

void TestPlatform::roundTripsEveryEncoding()
{
    QFETCH(int, number);
    QFETCH(QString, text);
    const std::optional<QByteArray> bytes = TextEncoding::encode(text, number);
    QVERIFY(bytes);
    if (number != TextEncoding::UTF8)
        QCOMPARE(bytes->size(), text.size()); // one byte a character in the single-byte sets
    QCOMPARE(TextEncoding::decode(*bytes, number), std::optional<QString>(text));
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

// Bytes that are no text in the encoding are refused, never replaced or dropped, and
// so are characters that the encoding cannot represent.
void TestPlatform::refusesWhatDoesNotConvert_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    const auto bytes = [](const char *name, int number, const QByteArray &bytes) {
        QTest::newRow(name) << number << bytes << QString();
    };
    const auto text = [](const char *name, int number, const QString &text) {
        QTest::newRow(name) << number << QByteArray() << text;
    };
    bytes("UTF-8 bad continuation", 4, "ok \xC3\x28 end");
    bytes("UTF-8 truncated at end", 4, "euro \xE2\x82");
    bytes("UTF-8 overlong", 4, "\xC0\x80");
    bytes("UTF-8 encoded surrogate", 4, "\xED\xA0\x80");
    bytes("UTF-8 Latin-1 bytes", 4, "Gr\xFC\xDF");
    bytes("cp1252 0x81", 12, "a\x81z");
    bytes("cp1252 0x9D", 12, "\x9D");
    bytes("cp1251 0x98", 11, "\xCF\x98");
    bytes("cp1250 0x83", 15, "x\x83");
    QTest::newRow("unknown encoding number") << 7 << QByteArray("plain") << QString("plain");
    text("UTF-8 lone surrogate", 4, QStringLiteral("a") + QChar(0xD800) + QStringLiteral("b"));
    text("ISO-Latin1 euro", 5, "price: 5 €");
    text("ISO-Latin2 euro", 9, "€");
    text("Cyrillic umlaut", 11, "Привет ü");
    text("Windows latin1 l-stroke", 12, "łódź");
    text("Windows latin2 n-tilde", 15, "España");
    text("Mac OS Roman l-stroke", 30, "ł");
    text("Mac OS Roman emoji", 30, "😀");
}

void TestPlatform::refusesWhatDoesNotConvert()
{
    QFETCH(int, number);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    if (!bytes.isEmpty())
        QCOMPARE(TextEncoding::decode(bytes, number), std::nullopt);
    if (!text.isEmpty())
        QCOMPARE(TextEncoding::encode(text, number), std::nullopt);
}

void TestPlatform::decodesAStreamInPieces_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QByteArrayList>("pieces");
    QTest::addColumn<QString>("text");
    QTest::newRow("character split in two") << 4 << QByteArrayList{"a\xE6", "\x97\xA5!"} << "a日!";
    QTest::newRow("emoji split in three")
        << 4 << QByteArrayList{"\xF0", "\x9F\x98", "\x80!"} << "😀!";
    QTest::newRow("invalid byte") << 4 << QByteArrayList{"ok \xC3\x28 end"} << "ok \uFFFD( end";
    QTest::newRow("unfinished at the end") << 4 << QByteArrayList{"euro \xE2\x82"} << "euro \uFFFD";
    QTest::newRow("cp1252 undefined byte") << 12 << QByteArrayList{"a\x81", "z\x80"} << "a\uFFFDz€";
    QTest::newRow("unknown number reads UTF-8") << 7 << QByteArrayList{"\xC3", "\xA9"} << "é";
}

// Output of a child process arrives in pieces that need not end between characters.
void TestPlatform::decodesAStreamInPieces()
{
    QFETCH(int, number);
    QFETCH(QByteArrayList, pieces);
    QFETCH(QString, text);
    TextDecoder decoder(number);
    QString decoded;
    for (const QByteArray &piece : pieces)
        decoded += decoder.decode(piece);
    QCOMPARE(decoded + decoder.finish(), text);
}

void TestPlatform::registeredDefaultsAndUserValues()
{
    TestFolder folder;
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    QCOMPARE(defaults.integerForKey(QSFileEncoding), 4);
    QCOMPARE(defaults.stringForKey(QSSelectedEngineExec), QStringLiteral("pdflatex"));
    QCOMPARE(defaults.boolForKey(QSOpenUntitledFileOnLaunch), true);
    QCOMPARE(defaults.dictionaryForKey(QSWindowInfo).value(QStringLiteral("width")).toInt(), 700);
    QVERIFY(defaults.stringForKey(QSUntitledFileTemplate).contains("\\usepackage[utf8]{inputenc}"));

    // What the user sets wins, survives in the settings file, and registering writes nothing.
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

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
