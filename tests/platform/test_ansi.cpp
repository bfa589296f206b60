#include "platform/Ansi.h"
#include "platform/AtomicFile.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace pelloway;

class TestAnsi : public QObject
{
    Q_OBJECT
private slots:
    void roundTrip_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("star") << QStringLiteral("★MailData")
                              << QByteArray("\x81\x9A"
                                            "MailData");
        QTest::newRow("circled one (NEC row 13)") << QStringLiteral("①") << QByteArray("\x87\x40");
        QTest::newRow("fullwidth tilde") << QStringLiteral("～") << QByteArray("\x81\x60");
        QTest::newRow("IBM extension") << QStringLiteral("髙") << QByteArray("\xFB\xFC");
        QTest::newRow("half-width kana") << QStringLiteral("ｱ") << QByteArray("\xB1");
        QTest::newRow("ascii") << QStringLiteral("pop.example.jp") << QByteArray("pop.example.jp");
        QTest::newRow("trail byte backslash") << QStringLiteral("ソ") << QByteArray("\x83\x5C");
    }
    void roundTrip()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QCOMPARE(ToAnsi(text), bytes);
        QCOMPARE(FromAnsi(bytes), text);
        QVERIFY(CanEncodeAnsi(text));
    }

    void inputMethodCharacters_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored");
        QTest::newRow("wave dash") << QString(QChar(0x301C)) << QString(QChar(0xFF5E));
        QTest::newRow("minus sign") << QString(QChar(0x2212)) << QString(QChar(0xFF0D));
        QTest::newRow("not sign") << QString(QChar(0x00AC)) << QString(QChar(0xFFE2));
    }
    void inputMethodCharacters()
    {
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        QVERIFY(CanEncodeAnsi(typed));
        QCOMPARE(FromAnsi(ToAnsi(typed)), stored);
    }

    void atomicWriteReplacesWholeFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("vbmail.ini"));
        QVERIFY(test::WriteBytes(path, "old content that is longer\r\n"));
        QVERIFY(WriteFileAtomically(path, "new\r\n"));
        QCOMPARE(test::ReadBytes(path), QByteArray("new\r\n"));
        // No temporary file is left behind.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
    }

    void failedAtomicWriteLeavesOldFile()
    {
        if (::geteuid() == 0)
            QSKIP("root may write into a read-only folder");
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("vbmail.ini"));
        QVERIFY(test::WriteBytes(path, "old\r\n"));
        QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
        QVERIFY(!WriteFileAtomically(path, "new\r\n"));
        QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QCOMPARE(test::ReadBytes(path), QByteArray("old\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestAnsi)
#include "test_ansi.moc"
