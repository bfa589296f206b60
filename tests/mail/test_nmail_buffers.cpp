// How the mail library writes texts into the caller's buffers: NUL-terminated, cut to the
// limit and to the buffer, never through the end, never half a cp932 character.

#include "mail/NMailLibrary.h"
#include "platform/Ansi.h"

#include <QTest>
#include <vector>

using pelloway::NMailLibrary;

class TestNMailBuffers : public QObject
{
    Q_OBJECT

private slots:
    void writesText_data();
    void writesText();
};

void TestNMailBuffers::writesText_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("bufferSize");
    QTest::addColumn<int>("limit");
    QTest::addColumn<QByteArray>("written");

    const QByteArray kana = pelloway::ToAnsi(QStringLiteral("テスト")); // three two-byte characters
    QTest::newRow("fits") << QByteArray("abc") << 10 << 8192 << QByteArray("abc");
    QTest::newRow("empty") << QByteArray() << 10 << 8192 << QByteArray();
    QTest::newRow("exactly the buffer") << QByteArray("abcd") << 5 << 8192 << QByteArray("abcd");
    QTest::newRow("cut to the buffer") << QByteArray("abcdef") << 5 << 8192 << QByteArray("abcd");
    QTest::newRow("cut to the limit") << QByteArray("abcdef") << 100 << 3 << QByteArray("abc");
    QTest::newRow("one byte buffer holds the NUL") << QByteArray("abc") << 1 << 8192 << QByteArray();
    QTest::newRow("cp932 whole") << kana << 7 << 8192 << kana;
    QTest::newRow("cp932 not split at the buffer") << kana << 6 << 8192 << kana.first(4);
    QTest::newRow("cp932 not split at the limit") << kana << 100 << 5 << kana.first(4);
    QTest::newRow("half-width kana is one byte")
        << QByteArray("\xb1\xb2\xb3") << 3 << 8192 << QByteArray("\xb1\xb2");
    QTest::newRow("8192 of 9000") << QByteArray(9000, 'm') << 8193 << 8192 << QByteArray(8192, 'm');
    QTest::newRow("negative limit") << QByteArray("abc") << 10 << -5 << QByteArray();
}

void TestNMailBuffers::writesText()
{
    QFETCH(QByteArray, text);
    QFETCH(int, bufferSize);
    QFETCH(int, limit);
    QFETCH(QByteArray, written);

    // The buffer sits between guard bytes that must survive.
    constexpr int guard = 16;
    std::vector<char> memory(size_t(bufferSize + 2 * guard), '~');
    std::span<char> buffer(memory.data() + guard, size_t(bufferSize));
    QCOMPARE(NMailLibrary::WriteText(buffer, text, limit), int(written.size()));
    QCOMPARE(QByteArray(buffer.data(), written.size()), written);
    QCOMPARE(buffer[size_t(written.size())], '\0');
    for (int i = 0; i < guard; ++i) {
        QCOMPARE(memory[size_t(i)], '~');
        QCOMPARE(memory[memory.size() - 1 - size_t(i)], '~');
    }
    // Nothing past the NUL is touched either.
    for (size_t i = size_t(written.size()) + 1; i < buffer.size(); ++i)
        QCOMPARE(buffer[i], '~');
}

QTEST_GUILESS_MAIN(TestNMailBuffers)
#include "test_nmail_buffers.moc"
