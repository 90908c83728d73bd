#include "rules/PermissionPolicy.h"
#include "rules/TextRules.h"

#include <QtTest>

class TestRules : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void trimming_data();
    void trimming();
    void graphemes();
    void scalarOrdering();
    void peopleSplitting_data();
    void peopleSplitting();
    void joinRoundTrip();
    void permissionMatrix();
};

void TestRules::trimming_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    QTest::newRow("ascii") << QStringLiteral("  a b \t") << QStringLiteral("a b");
    QTest::newRow("ideographic space") << QStringLiteral("\u3000张三\u3000") << QStringLiteral("张三");
    QTest::newRow("line ends") << QStringLiteral("\r\n名\u0085\u2028\u2029") << QStringLiteral("名");
    QTest::newRow("nbsp and thin space") << QStringLiteral("\u00a0x\u2009") << QStringLiteral("x");
    QTest::newRow("only space") << QStringLiteral(" \u3000\n") << QString();
    QTest::newRow("zero width space kept") << QStringLiteral("\u200bx") << QStringLiteral("\u200bx");
}

void TestRules::trimming()
{
    QFETCH(QString, input);
    QFETCH(QString, expected);
    QCOMPARE(TextRules::trimmed(input), expected);
}

void TestRules::graphemes()
{
    const QString family = QStringLiteral("👨‍👩‍👧");
    const QString thumbs = QStringLiteral("👍🏽");
    const QString flag = QStringLiteral("🇨🇳");
    const QString accent = QStringLiteral("e\u0301");
    QCOMPARE(TextRules::characterCount(family), 1);
    QCOMPARE(TextRules::characterCount(thumbs), 1);
    QCOMPARE(TextRules::characterCount(flag + accent + QStringLiteral("中")), 3);
    QCOMPARE(TextRules::characterCount(QString()), 0);

    const QString mixed = thumbs + QStringLiteral("ab") + family;
    QCOMPARE(TextRules::prefixCharacters(mixed, 1), thumbs);
    QCOMPARE(TextRules::prefixCharacters(mixed, 3), thumbs + QStringLiteral("ab"));
    QCOMPARE(TextRules::prefixCharacters(mixed, 10), mixed);
    QCOMPARE(TextRules::suffixCharacters(mixed, 2), QStringLiteral("b") + family);
    QCOMPARE(TextRules::suffixCharacters(mixed, 0), QString());
}

void TestRules::scalarOrdering()
{
    // U+FF01 sorts before U+1F600 by scalar value, after it by UTF-16 code unit.
    const QString fullwidth = QStringLiteral("\uFF01");
    const QString emoji = QStringLiteral("😀");
    QVERIFY(TextRules::scalarLess(fullwidth, emoji));
    QVERIFY(!TextRules::scalarLess(emoji, fullwidth));
    QVERIFY(QString::compare(fullwidth, emoji) > 0);

    // Composed and decomposed forms are the same text.
    QCOMPARE(TextRules::compareScalars(QStringLiteral("\u00e9"), QStringLiteral("e\u0301")), 0);
    QVERIFY(TextRules::scalarLess(QStringLiteral("B"), QStringLiteral("a")));
    QVERIFY(TextRules::scalarLess(QStringLiteral("ab"), QStringLiteral("abc")));

    // Both directions of each pair: a prefix sorts first whichever side it is on.
    const QList<std::pair<QString, QString>> ordered{{QStringLiteral("ab"), QStringLiteral("abc")},
                                                     {QStringLiteral("B"), QStringLiteral("a")},
                                                     {fullwidth, emoji}};
    for (const auto &[lower, higher] : ordered) {
        QVERIFY(TextRules::compareScalars(lower, higher) < 0);
        QVERIFY(TextRules::compareScalars(higher, lower) > 0);
        QVERIFY(!TextRules::scalarLess(higher, lower));
    }
}

void TestRules::peopleSplitting_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QStringList>("expected");
    const QStringList abc{QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")};
    QTest::newRow("dun and fullwidth comma") << QStringLiteral("A、B，C") << abc;
    QTest::newRow("every separator") << QStringLiteral("A,B&C＆D/E+F;G；H\nI")
                                     << QStringList{"A", "B", "C", "D", "E", "F", "G", "H", "I"};
    QTest::newRow("trimmed duplicates kept") << QStringLiteral(" A / B ; A ") << QStringList{"A", "B", "A"};
    QTest::newRow("space is no separator") << QStringLiteral("A B") << QStringList{"A B"};
    QTest::newRow("crlf") << QStringLiteral("A\r\nB\r\n") << QStringList{"A", "B"};
    QTest::newRow("ideographic spaces")
        << QStringLiteral("\u3000张三\u3000、\u3000李四") << QStringList{"张三", "李四"};
    QTest::newRow("only separators") << QStringLiteral(" 、,;\n ") << QStringList{};
    QTest::newRow("empty") << QString() << QStringList{};
    QTest::newRow("case kept") << QStringLiteral("amy,Amy") << QStringList{"amy", "Amy"};
}

void TestRules::peopleSplitting()
{
    QFETCH(QString, input);
    QFETCH(QStringList, expected);
    QCOMPARE(PermissionPolicy::people(input), expected);
}

void TestRules::joinRoundTrip()
{
    const QStringList names{QStringLiteral("A"), QStringLiteral("B")};
    QCOMPARE(PermissionPolicy::joinNames(names), QStringLiteral("A、B"));
    QCOMPARE(PermissionPolicy::people(PermissionPolicy::joinNames(names)), names);
    QCOMPARE(PermissionPolicy::joinNames({}), QString());
}

void TestRules::permissionMatrix()
{
    struct Row
    {
        QString role;
        bool manager, playback, audio, video;
    };
    const QList<Row> rows{
        {QStringLiteral("总导演"), true, true, true, true},
        {QStringLiteral("副导演"), true, true, true, true},
        {QStringLiteral("节目负责人"), false, false, false, false},
        {QStringLiteral("主持人"), false, false, false, false},
        {QStringLiteral("演员"), false, false, false, false},
        {QStringLiteral("工作人员"), false, false, false, false},
        {QStringLiteral("音响师"), false, true, true, false},
        {QStringLiteral("视频师"), false, true, false, true},
        {QStringLiteral("化妆师"), false, false, false, false},
        {QStringLiteral("总导演 "), false, false, false, false},
        {QString(), false, false, false, false},
    };
    for (const Row &row : rows) {
        const QByteArray name = row.role.toUtf8();
        QVERIFY2(PermissionPolicy::canManageMembers(row.role) == row.manager, name);
        QVERIFY2(PermissionPolicy::canManageOperations(row.role) == row.manager, name);
        QVERIFY2(PermissionPolicy::canOpenPlayback(row.role) == row.playback, name);
        QVERIFY2(PermissionPolicy::canPrepareAudio(row.role) == row.audio, name);
        QVERIFY2(PermissionPolicy::canPrepareVideo(row.role) == row.video, name);
    }
    QCOMPARE(rawValue(ProjectRole::makeupArtist), QStringLiteral("化妆师"));
}

QTEST_GUILESS_MAIN(TestRules)
#include "test_rules.moc"
