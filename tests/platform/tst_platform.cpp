#include "TestSupport.h"
#include "platform/Assertions.h"
#include "platform/TextEncoding.h"
#include "platform/UserDefaults.h"

#include <QSettings>

class TestPlatform : public QObject
{
    Q_OBJECT

private slots:
    void roundTripsEveryEncoding_data();
    void roundTripsEveryEncoding();
    void refusesInvalidBytes_data();
    void refusesInvalidBytes();
    void refusesUnrepresentableCharacters_data();
    void refusesUnrepresentableCharacters();
    void singleByteSetsDecodeEveryByte();
    void registeredDefaultsAndUserValues();
    void assertionHandler();
};

void TestPlatform::roundTripsEveryEncoding_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("text");
    QTest::newRow("UTF-8") << 4 << QStringLiteral("Grüße — 日本 😀 \\section{Été}");
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
}

void TestPlatform::refusesInvalidBytes_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("UTF-8 bad continuation") << 4 << QByteArray("ok \xC3\x28 end");
    QTest::newRow("UTF-8 truncated at end") << 4 << QByteArray("euro \xE2\x82");
    QTest::newRow("UTF-8 overlong") << 4 << QByteArray("\xC0\x80");
    QTest::newRow("UTF-8 encoded surrogate") << 4 << QByteArray("\xED\xA0\x80");
    QTest::newRow("UTF-8 Latin-1 bytes") << 4
                                         << QByteArray("Gr\xFC\xDF"
                                                       "e");
    QTest::newRow("cp1252 0x81") << 12 << QByteArray("a\x81z");
    QTest::newRow("cp1252 0x9D") << 12 << QByteArray("\x9D");
    QTest::newRow("cp1251 0x98") << 11 << QByteArray("\xCF\x98");
    QTest::newRow("cp1250 0x83") << 15 << QByteArray("x\x83");
    QTest::newRow("unknown encoding number") << 7 << QByteArray("plain");
}

void TestPlatform::refusesInvalidBytes()
{
    QFETCH(int, number);
    QFETCH(QByteArray, bytes);
    QCOMPARE(TextEncoding::decode(bytes, number), std::nullopt);
}

void TestPlatform::refusesUnrepresentableCharacters_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("text");
    QTest::newRow("UTF-8 lone surrogate")
        << 4 << QStringLiteral("a") + QChar(0xD800) + QStringLiteral("b");
    QTest::newRow("ISO-Latin1 euro") << 5 << QStringLiteral("price: 5 €");
    QTest::newRow("ISO-Latin2 euro") << 9 << QStringLiteral("€");
    QTest::newRow("Cyrillic umlaut") << 11 << QStringLiteral("Привет ü");
    QTest::newRow("Windows latin1 l-stroke") << 12 << QStringLiteral("łódź");
    QTest::newRow("Windows latin2 n-tilde") << 15 << QStringLiteral("España");
    QTest::newRow("Mac OS Roman l-stroke") << 30 << QStringLiteral("ł");
    QTest::newRow("Mac OS Roman emoji") << 30 << QStringLiteral("😀");
}

void TestPlatform::refusesUnrepresentableCharacters()
{
    QFETCH(int, number);
    QFETCH(QString, text);
    QCOMPARE(TextEncoding::encode(text, number), std::nullopt);
}

// The ISO sets and Mac OS Roman define all 256 bytes: nothing may be refused or altered.
void TestPlatform::singleByteSetsDecodeEveryByte()
{
    QByteArray everyByte;
    for (int b = 0; b < 256; ++b)
        everyByte.append(char(b));
    for (int number : {5, 9, 30}) {
        const std::optional<QString> text = TextEncoding::decode(everyByte, number);
        QVERIFY2(text && text->size() == 256, qPrintable(TextEncoding::label(number)));
        QCOMPARE(TextEncoding::encode(*text, number), std::optional<QByteArray>(everyByte));
    }
}

void TestPlatform::registeredDefaultsAndUserValues()
{
    TestFolder folder;
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    QCOMPARE(defaults.integerForKey(QSFileEncoding), 4);
    QCOMPARE(defaults.stringForKey(QSTexEngineDirectoryPath), QStringLiteral("/usr/texbin/"));
    QCOMPARE(defaults.stringForKey(QSSelectedEngineExec), QStringLiteral("pdflatex"));
    QCOMPARE(defaults.boolForKey(QSOpenUntitledFileOnLaunch), true);
    const QVariantMap window = defaults.dictionaryForKey(QSWindowInfo);
    QCOMPARE(window.value(QStringLiteral("shouldCenter")).toBool(), true);
    QCOMPARE(window.value(QStringLiteral("width")).toInt(), 700);
    QCOMPARE(window.value(QStringLiteral("height")).toInt(), 500);
    const QVariantMap font =
        defaults.dictionaryForKey(QSFontInfo).value(QStringLiteral("font")).toMap();
    QCOMPARE(font.value(QStringLiteral("fonttype")).toString(), QStringLiteral("Courier"));
    QCOMPARE(font.value(QStringLiteral("fontsize")).toInt(), 12);
    QCOMPARE(defaults.dictionaryForKey(QStringLiteral("SmartDropDefinitions")),
             QVariantMap({{QStringLiteral("pdf"), QStringLiteral("test")}}));
    const QStringList templateLines = defaults.stringForKey(QSUntitledFileTemplate).split(u'\n');
    QCOMPARE(templateLines,
             QStringList({"\\documentclass{article}", "\\usepackage[utf8]{inputenc}",
                          "\\usepackage{lmodern}", "\\begin{document}", "", "\\end{document}"}));

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
        const QString message = QString::fromUtf8(error.what());
        QVERIFY2(message.contains(QStringLiteral("path is nil")), qPrintable(message));
        QVERIFY2(message.contains(QStringLiteral("assertionHandler")), qPrintable(message));
        QVERIFY2(message.contains(QStringLiteral("tst_platform.cpp")), qPrintable(message));
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
