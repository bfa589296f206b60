#include "platform/Runtime.h"

#include <QTest>

using namespace pelloway;

class TestRuntime : public QObject
{
    Q_OBJECT
private slots:
    void textValue_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::newRow("plain") << "15" << 15.0;
        QTest::newRow("minutes suffix") << "5分" << 5.0;
        QTest::newRow("letters") << "abc" << 0.0;
        QTest::newRow("empty") << "" << 0.0;
        QTest::newRow("blanks inside") << " 1 2\t3\n" << 123.0;
        QTest::newRow("fraction") << "1.5" << 1.5;
        QTest::newRow("leading point") << ".5" << 0.5;
        QTest::newRow("negative") << "-3" << -3.0;
        QTest::newRow("plus") << "+7x" << 7.0;
        QTest::newRow("exponent") << "1e3" << 1000.0;
        QTest::newRow("D exponent") << "2D2" << 200.0;
        QTest::newRow("dangling exponent") << "4e" << 4.0;
        QTest::newRow("second point ends") << "1.2.3" << 1.2;
        QTest::newRow("hex") << "&H1F" << 31.0;
        QTest::newRow("hex lower") << "&hff" << 255.0;
        QTest::newRow("octal") << "&O17" << 15.0;
        QTest::newRow("ampersand only") << "&" << 0.0;
        QTest::newRow("sign alone") << "-" << 0.0;
        QTest::newRow("leading zero") << "05" << 5.0;
        QTest::newRow("counter initial text") << "Text1" << 0.0;
        QTest::newRow("full-width digits are not digits") << "５" << 0.0;
    }
    void textValue()
    {
        QFETCH(QString, text);
        QFETCH(double, value);
        QCOMPARE(TextValue(text), value);
    }

    void rounding_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("int32");
        QTest::addColumn<int>("int16");
        QTest::newRow("2.5 to even") << 2.5 << 2 << 2;
        QTest::newRow("1.5 to even") << 1.5 << 2 << 2;
        QTest::newRow("0.5 to even") << 0.5 << 0 << 0;
        QTest::newRow("-2.5 to even") << -2.5 << -2 << -2;
        QTest::newRow("2.6") << 2.6 << 3 << 3;
        QTest::newRow("int16 clamps high") << 70000.0 << 70000 << 32767;
        QTest::newRow("int16 clamps low") << -70000.0 << -70000 << -32768;
        QTest::newRow("int32 clamps") << 1e12 << 2147483647 << 32767;
    }
    void rounding()
    {
        QFETCH(double, value);
        QFETCH(int, int32);
        QFETCH(int, int16);
        QCOMPARE(RoundToInt32(value), int32);
        QCOMPARE(int(RoundToInt16(value)), int16);
    }
};

QTEST_GUILESS_MAIN(TestRuntime)
#include "test_runtime.moc"
