#include "platform/Ansi.h"
#include "platform/PrivateProfile.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <thread>

using namespace pelloway;
using test::ReadBytes;
using test::WriteBytes;

namespace {

QByteArray readString(const QString& path, QByteArrayView section, QByteArrayView key, int size = 256,
                      QByteArrayView def = "")
{
    std::vector<char> buffer(size, 'x');
    const int n = GetPrivateProfileStringA(section, key, def, buffer, path);
    if (buffer[n] != '\0')
        return "<no NUL>";
    return QByteArray(buffer.data(), n);
}

} // namespace

class TestPrivateProfile : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    QString path() const { return m_dir.filePath(QStringLiteral("p.ini")); }

private slots:
    void init() { QFile::remove(path()); }

    void reading_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QByteArray>("section");
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QByteArray>("value");
        const QByteArray f = "[EXEINI]\r\nNAME=taro\r\nNAME2=secret\r\n";
        QTest::newRow("exact") << f << QByteArray("EXEINI") << QByteArray("NAME") << QByteArray("taro");
        QTest::newRow("section case")
            << f << QByteArray("exeini") << QByteArray("NAME2") << QByteArray("secret");
        QTest::newRow("key case") << f << QByteArray("EXEINI") << QByteArray("name") << QByteArray("taro");
        QTest::newRow("missing key gives default")
            << f << QByteArray("EXEINI") << QByteArray("NAME3") << QByteArray("dflt");
        QTest::newRow("missing section")
            << f << QByteArray("OTHER") << QByteArray("NAME") << QByteArray("dflt");
        QTest::newRow("blanks trimmed") << QByteArray("[S]\r\n  K  =  v a  \r\n") << QByteArray("S")
                                        << QByteArray("K") << QByteArray("v a");
        QTest::newRow("double quotes") << QByteArray("[S]\nK=\" padded \"\n") << QByteArray("S")
                                       << QByteArray("K") << QByteArray(" padded ");
        QTest::newRow("single quotes")
            << QByteArray("[S]\nK='x'\n") << QByteArray("S") << QByteArray("K") << QByteArray("x");
        QTest::newRow("unmatched quote kept")
            << QByteArray("[S]\nK=\"x'\n") << QByteArray("S") << QByteArray("K") << QByteArray("\"x'");
        QTest::newRow("comment line") << QByteArray("[S]\n;K=hidden\nK=shown\n") << QByteArray("S")
                                      << QByteArray("K") << QByteArray("shown");
        QTest::newRow("first duplicate wins")
            << QByteArray("[S]\nK=1\nK=2\n") << QByteArray("S") << QByteArray("K") << QByteArray("1");
        QTest::newRow("first duplicate section wins")
            << QByteArray("[S]\nK=1\n[S]\nK=2\n") << QByteArray("S") << QByteArray("K") << QByteArray("1");
        QTest::newRow("key in other section")
            << QByteArray("[A]\nK=1\n[S]\nJ=2\n") << QByteArray("S") << QByteArray("K") << QByteArray("dflt");
        QTest::newRow("equals in value")
            << QByteArray("[S]\nK=a=b\n") << QByteArray("S") << QByteArray("K") << QByteArray("a=b");
        QTest::newRow("empty value") << QByteArray("[S]\nK=\n") << QByteArray("S") << QByteArray("K")
                                     << QByteArray("");
        QTest::newRow("no final line end")
            << QByteArray("[S]\r\nK=v") << QByteArray("S") << QByteArray("K") << QByteArray("v");
        // "ソ" is 0x83 0x5C in cp932: a trail byte that is a backslash must not confuse matching.
        QTest::newRow("cp932 key") << QByteArray("[S]\r\n\x83\x5C=1\r\n") << QByteArray("S")
                                   << QByteArray("\x83\x5C") << QByteArray("1");
    }
    void reading()
    {
        QFETCH(QByteArray, file);
        QFETCH(QByteArray, section);
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, value);
        QVERIFY(WriteBytes(path(), file));
        QCOMPARE(readString(path(), section, key, 256, "dflt"), value);
    }

    void stringIsCutToBuffer()
    {
        QVERIFY(WriteBytes(path(), "[S]\r\nK=" + QByteArray(300, 'p') + "\r\n"));
        QCOMPARE(readString(path(), "S", "K", 256), QByteArray(255, 'p'));
        QCOMPARE(readString(path(), "S", "K", 1), QByteArray());
    }

    void missingFileGivesDefault()
    {
        QCOMPARE(readString(path(), "S", "K", 256, "d"), QByteArray("d"));
        QCOMPARE(GetPrivateProfileIntA("S", "K", 7, path()), 7);
    }

    void integers_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<int>("expected");
        QTest::newRow("plain") << QByteArray("15") << 15;
        QTest::newRow("leading zero") << QByteArray("05") << 5;
        QTest::newRow("negative") << QByteArray("-3") << -3;
        QTest::newRow("fraction") << QByteArray("1.5") << 1;
        QTest::newRow("letters") << QByteArray("abc") << 0;
        QTest::newRow("empty") << QByteArray("") << 0;
        QTest::newRow("suffix") << QByteArray("12分") << 12;
        QTest::newRow("overflow clamps") << QByteArray("99999999999") << 2147483647;
    }
    void integers()
    {
        QFETCH(QByteArray, value);
        QFETCH(int, expected);
        QVERIFY(WriteBytes(path(), "[EXEINI]\r\nNUMBER2=" + ToAnsi(QString::fromUtf8(value)) + "\r\n"));
        QCOMPARE(GetPrivateProfileIntA("EXEINI", "NUMBER2", 99, path()), expected);
    }

    void writing_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("section");
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("new file") << QByteArray() << QByteArray("EXEINI") << QByteArray("NUMBER")
                                  << QByteArray("1") << QByteArray("[EXEINI]\r\nNUMBER=1\r\n");
        QTest::newRow("replace keeps other lines")
            << QByteArray("; mine\r\n[EXEINI]\r\nNUMBER=0\r\nNUMBER2=5\r\n") << QByteArray("exeini")
            << QByteArray("number") << QByteArray("1")
            << QByteArray("; mine\r\n[EXEINI]\r\nNUMBER=1\r\nNUMBER2=5\r\n");
        QTest::newRow("append at end of section")
            << QByteArray("[EXEINI]\r\nNUMBER=0\r\n\r\n[OTHER]\r\nX=1\r\n") << QByteArray("EXEINI")
            << QByteArray("NUMBER2") << QByteArray("3")
            << QByteArray("[EXEINI]\r\nNUMBER=0\r\nNUMBER2=3\r\n\r\n[OTHER]\r\nX=1\r\n");
        QTest::newRow("append section at end of file")
            << QByteArray("[OTHER]\r\nX=1") << QByteArray("EXEINI") << QByteArray("NAME") << QByteArray("a")
            << QByteArray("[OTHER]\r\nX=1\r\n[EXEINI]\r\nNAME=a\r\n");
        QTest::newRow("LF lines kept byte for byte")
            << QByteArray("[EXEINI]\nA = 1 \n") << QByteArray("EXEINI") << QByteArray("B") << QByteArray("2")
            << QByteArray("[EXEINI]\nA = 1 \nB=2\r\n");
        QTest::newRow("section header only")
            << QByteArray("[EXEINI]") << QByteArray("EXEINI") << QByteArray("K") << QByteArray("v")
            << QByteArray("[EXEINI]\r\nK=v\r\n");
        QTest::newRow("cp932 value") << QByteArray() << QByteArray("EXEINI") << QByteArray("NAME")
                                     << ToAnsi(QStringLiteral("髙橋①"))
                                     << QByteArray("[EXEINI]\r\nNAME=") + ToAnsi(QStringLiteral("髙橋①")) +
                                            "\r\n";
    }
    void writing()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, section);
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, value);
        QFETCH(QByteArray, after);
        if (!before.isNull())
            QVERIFY(WriteBytes(path(), before));
        QVERIFY(WritePrivateProfileStringA(section, key, value, path()));
        QCOMPARE(ReadBytes(path()), after);
        QCOMPARE(readString(path(), section, key), value);
    }

    // A write that cannot be done leaves what is there and says why, in the system's words.
    void failedWrites_data()
    {
        QTest::addColumn<QString>("place");
        QTest::addColumn<int>("error");
        QTest::newRow("missing folder") << "nofolder/p.ini" << ENOENT;
        QTest::newRow("folder in the file's place") << "taken.ini" << EISDIR;
    }
    void failedWrites()
    {
        QFETCH(QString, place);
        QFETCH(int, error);
        const QString target = m_dir.filePath(place);
        const QString inside = m_dir.filePath(QStringLiteral("taken.ini/keep"));
        QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("taken.ini")));
        QVERIFY(WriteBytes(inside, "kept"));
        QVERIFY(WritePrivateProfileStringA("S", "K", "v", path())); // a success clears the reason
        QCOMPARE(LastWriteError(), QString());

        QVERIFY(!WritePrivateProfileStringA("S", "K", "v", target));
        QCOMPARE(LastWriteError(), QString::fromLocal8Bit(std::strerror(error)));
        QCOMPARE(GetPrivateProfileIntA("S", "K", 0, target), 0);
        QCOMPARE(ReadBytes(inside), QByteArray("kept"));
        QCOMPARE(
            QDir(m_dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden),
            (QStringList{QStringLiteral("p.ini"), QStringLiteral("taken.ini")})); // no temporary file left
        QVERIFY(QDir(m_dir.filePath(QStringLiteral("taken.ini"))).removeRecursively());
    }

    // Writers that read, change and replace one file at the same moment, each with keys of
    // its own: every key of every writer is in the file afterwards.
    void concurrentWritersLoseNothing()
    {
        QVERIFY(WriteBytes(path(), "[S]\r\n"));
        constexpr int writers = 4;
        constexpr int keys = 40;
        std::vector<std::thread> threads;
        std::atomic<int> failures = 0;
        for (int w = 0; w < writers; ++w) {
            threads.emplace_back([&, w] {
                for (int k = 0; k < keys; ++k) {
                    const QByteArray key = "W" + QByteArray::number(w) + "K" + QByteArray::number(k);
                    if (!WritePrivateProfileStringA("S", key, QByteArray::number(k), path()))
                        ++failures;
                }
            });
        }
        for (std::thread& t : threads)
            t.join();
        QCOMPARE(failures.load(), 0);
        for (int w = 0; w < writers; ++w)
            for (int k = 0; k < keys; ++k)
                QCOMPARE(GetPrivateProfileIntA("S", "W" + QByteArray::number(w) + "K" + QByteArray::number(k),
                                               -1, path()),
                         k);
    }

    void ownerOnlyFileMode()
    {
        QVERIFY(WriteBytes(path(), "[S]\r\n"));
        QVERIFY(QFile::setPermissions(path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther |
                                                  QFile::ReadGroup));
        QVERIFY(WritePrivateProfileStringA("S", "K", "v", path(), FileAccess::OwnerOnly));
        struct stat st;
        QCOMPARE(::stat(QFile::encodeName(path()).constData(), &st), 0);
        QCOMPARE(st.st_mode & 0777, mode_t(0600));
    }

    void defaultModeKeepsExistingMode()
    {
        QVERIFY(WriteBytes(path(), "[S]\r\n"));
        QVERIFY(QFile::setPermissions(path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
        QVERIFY(WritePrivateProfileStringA("S", "K", "v", path()));
        struct stat st;
        QCOMPARE(::stat(QFile::encodeName(path()).constData(), &st), 0);
        QCOMPARE(st.st_mode & 0777, mode_t(0640));
    }
};

QTEST_GUILESS_MAIN(TestPrivateProfile)
#include "test_private_profile.moc"
