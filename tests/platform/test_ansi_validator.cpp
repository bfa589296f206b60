// The text-box rule: only what a settings file line can hold (cp932 characters, no line
// breaks or NUL) gets into a box, however it arrives.

#include "platform/AnsiValidator.h"
#include "settings/DialogTyping.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QTest>

using namespace pelloway;

class TestAnsiValidator : public QObject
{
    Q_OBJECT
private slots:
    void fits_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("fits");
        QTest::newRow("empty") << "" << true;
        QTest::newRow("ASCII") << "pop.example.com" << true;
        QTest::newRow("kana and kanji") << QStringLiteral("メール設定") << true;
        QTest::newRow("half-width kana") << QStringLiteral("ﾒｰﾙ") << true;
        QTest::newRow("NEC and IBM extensions") << QStringLiteral("①髙﨑") << true;
        QTest::newRow("input-method wave dash and minus") << QStringLiteral("〜−¬") << true;
        QTest::newRow("hangul") << QStringLiteral("메일") << false;
        QTest::newRow("emoji") << QStringLiteral("a😀") << false;
        QTest::newRow("accented Latin") << QStringLiteral("café") << false;
        QTest::newRow("simplified Chinese only") << QStringLiteral("邮件") << false;
        QTest::newRow("line feed") << "a\nb" << false;
        QTest::newRow("carriage return") << "a\rb" << false;
        QTest::newRow("NUL") << QString(QChar(0)) << false;
        QTest::newRow("tab") << "a\tb" << true;
    }
    void fits()
    {
        QFETCH(QString, text);
        QFETCH(bool, fits);
        QCOMPARE(AnsiValidator::Fits(text), fits);
        int pos = 0;
        QCOMPARE(AnsiValidator().validate(text, pos), fits ? QValidator::Acceptable : QValidator::Invalid);
    }

    // Typing, pasting and input-method text into a restricted box.
    void box()
    {
        QLineEdit box;
        RestrictToAnsi(&box);
        box.show();
        box.setFocus();
        QTest::keyClicks(&box, QStringLiteral("ab"));
        test::CommitText(&box, QStringLiteral("한"));
        QCOMPARE(box.text(), QStringLiteral("ab"));
        test::CommitText(&box, QStringLiteral("漢字"));
        QCOMPARE(box.text(), QStringLiteral("ab漢字"));
        QApplication::clipboard()->setText(QStringLiteral("x😀"));
        box.paste();
        QCOMPARE(box.text(), QStringLiteral("ab漢字"));
        QApplication::clipboard()->setText(QStringLiteral("ｶﾅ"));
        box.paste();
        QCOMPARE(box.text(), QStringLiteral("ab漢字ｶﾅ"));
    }
};

QTEST_MAIN(TestAnsiValidator)
#include "test_ansi_validator.moc"
