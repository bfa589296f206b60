// The platform's text and file primitives: cp932 text, what a settings file line can hold,
// numbers read from text, private-profile (INI) files and atomic file writes.

#include "platform/Ansi.h"
#include "platform/AnsiValidator.h"
#include "platform/PrivateProfile.h"
#include "platform/Runtime.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
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

class TestTextAndFiles : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    QString path() const { return m_dir.filePath(QStringLiteral("p.ini")); }

private slots:
    void init() { QFile::remove(path()); }

    // cp932 both ways; what an input method types for a few signs is stored as their
    // full-width forms.
    void cp932_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("readBack"); // null: the text itself
        QTest::newRow("star") << QStringLiteral("★MailData")
                              << QByteArray("\x81\x9A"
                                            "MailData")
                              << QString();
        QTest::newRow("circled one (NEC row 13)")
            << QStringLiteral("①") << QByteArray("\x87\x40") << QString();
        QTest::newRow("fullwidth tilde") << QStringLiteral("～") << QByteArray("\x81\x60") << QString();
        QTest::newRow("half-width kana") << QStringLiteral("ｱ") << QByteArray("\xB1") << QString();
        QTest::newRow("trail byte backslash") << QStringLiteral("ソ") << QByteArray("\x83\x5C") << QString();
        QTest::newRow("wave dash") << QString(QChar(0x301C)) << QByteArray("\x81\x60")
                                   << QString(QChar(0xFF5E));
        QTest::newRow("minus sign") << QString(QChar(0x2212)) << QByteArray("\x81\x7C")
                                    << QString(QChar(0xFF0D));
        QTest::newRow("not sign") << QString(QChar(0x00AC)) << QByteArray("\x81\xCA")
                                  << QString(QChar(0xFFE2));
    }
    void cp932()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, readBack);
        QCOMPARE(ToAnsi(text), bytes);
        QCOMPARE(FromAnsi(bytes), readBack.isNull() ? text : readBack);
    }

    // Only what a settings file line can hold (cp932 characters, no line breaks or NUL) gets
    // into a text box.
    void fitsASettingsLine_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("fits");
        QTest::newRow("empty") << "" << true;
        QTest::newRow("kana, kanji and signs") << QStringLiteral("★メール設定ソ～") << true;
        QTest::newRow("input-method wave dash and minus") << QStringLiteral("〜−¬") << true;
        QTest::newRow("hangul") << QStringLiteral("메일") << false;
        QTest::newRow("emoji") << QStringLiteral("a😀") << false;
        QTest::newRow("line feed") << "a\nb" << false;
        QTest::newRow("NUL") << QString(QChar(0)) << false;
        QTest::newRow("tab") << "a\tb" << true;
    }
    void fitsASettingsLine()
    {
        QFETCH(QString, text);
        QFETCH(bool, fits);
        QCOMPARE(AnsiValidator::Fits(text), fits);
        int pos = 0;
        QCOMPARE(AnsiValidator().validate(text, pos), fits ? QValidator::Acceptable : QValidator::Invalid);
    }

    void textValue_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::newRow("plain") << "15" << 15.0;
        QTest::newRow("minutes suffix") << "5分" << 5.0;
        QTest::newRow("empty") << "" << 0.0;
        QTest::newRow("blanks inside") << " 1 2\t3\n" << 123.0;
        QTest::newRow("fraction") << "1.5" << 1.5;
        QTest::newRow("negative") << "-3" << -3.0;
        QTest::newRow("plus") << "+7x" << 7.0;
        QTest::newRow("exponent") << "1e3" << 1000.0;
        QTest::newRow("D exponent") << "2D2" << 200.0;
        QTest::newRow("dangling exponent") << "4e" << 4.0;
        QTest::newRow("second point ends") << "1.2.3" << 1.2;
        QTest::newRow("hex") << "&H1F" << 31.0;
        QTest::newRow("octal") << "&O17" << 15.0;
        QTest::newRow("ampersand only") << "&" << 0.0;
        QTest::newRow("sign alone") << "-" << 0.0;
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

    // Reading a key of a section into a buffer (256 bytes unless said), the default "dflt".
    void reading_data()
    {
        QTest::addColumn<QString>("file"); // null: none
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("size");
        QTest::addColumn<QString>("value");
        const auto row = [](const char* name, const QString& file, const char* section, const QString& key,
                            const QString& value, int size = 256) {
            QTest::newRow(name) << file << QString(section) << key << size << value;
        };
        const QString f = QStringLiteral("[EXEINI]\r\nNAME=taro\r\nNAME2=secret\r\n");
        row("exact", f, "EXEINI", "NAME", "taro");
        row("section case", f, "exeini", "NAME2", "secret");
        row("missing key gives default", f, "EXEINI", "NAME3", "dflt");
        row("missing file", QString(), "EXEINI", "NAME", "dflt");
        row("blanks trimmed", "[S]\r\n  K  =  v a  \r\n", "S", "K", "v a");
        row("double quotes", "[S]\nK=\" padded \"\n", "S", "K", " padded ");
        row("unmatched quote kept", "[S]\nK=\"x'\n", "S", "K", "\"x'");
        row("comment line", "[S]\n;K=hidden\nK=shown\n", "S", "K", "shown");
        row("first duplicate wins", "[S]\nK=1\nK=2\n", "S", "K", "1");
        row("first duplicate section wins", "[S]\nK=1\n[S]\nK=2\n", "S", "K", "1");
        row("key in other section", "[A]\nK=1\n[S]\nJ=2\n", "S", "K", "dflt");
        row("empty value", "[S]\nK=\n", "S", "K", "");
        row("no final line end", "[S]\r\nK=v", "S", "K", "v");
        // "ソ" is 0x83 0x5C in cp932: a trail byte that is a backslash must not confuse matching.
        row("cp932 key", QStringLiteral("[S]\r\nソ=1\r\n"), "S", QStringLiteral("ソ"), "1");
        row("cut to the buffer", "[S]\r\nK=" + QString(300, u'p'), "S", "K", QString(255, u'p'));
        row("one byte: the NUL only", f, "EXEINI", "NAME", "", 1);
    }
    void reading()
    {
        QFETCH(QString, file);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(int, size);
        QFETCH(QString, value);
        if (!file.isNull())
            QVERIFY(WriteBytes(path(), ToAnsi(file)));
        QCOMPARE(readString(path(), ToAnsi(section), ToAnsi(key), size, "dflt"), ToAnsi(value));
    }

    void integers_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<int>("expected");
        QTest::newRow("plain") << QByteArray("15") << 15;
        QTest::newRow("negative") << QByteArray("-3") << -3;
        QTest::newRow("fraction") << QByteArray("1.5") << 1;
        QTest::newRow("letters") << QByteArray("abc") << 0;
        QTest::newRow("overflow clamps") << QByteArray("99999999999") << 2147483647;
        QTest::newRow("missing file gives the default") << QByteArray() << 99;
    }
    void integers()
    {
        QFETCH(QByteArray, value);
        QFETCH(int, expected);
        if (!value.isNull())
            QVERIFY(WriteBytes(path(), "[EXEINI]\r\nNUMBER2=" + ToAnsi(QString::fromUtf8(value)) + "\r\n"));
        QCOMPARE(GetPrivateProfileIntA("EXEINI", "NUMBER2", 99, path()), expected);
    }

    // Writing a key of section EXEINI (keys match whatever their case).
    void writing_data()
    {
        QTest::addColumn<QString>("before"); // null: no file
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("after");
        const auto row = [](const char* name, const QString& before, const char* key, const QString& value,
                            const QString& after) {
            QTest::newRow(name) << before << QString(key) << value << after;
        };
        row("new file", QString(), "NUMBER", "1", "[EXEINI]\r\nNUMBER=1\r\n");
        row("replace keeps other lines", "; mine\r\n[EXEINI]\r\nNUMBER=0\r\nNUMBER2=5\r\n", "number", "1",
            "; mine\r\n[EXEINI]\r\nNUMBER=1\r\nNUMBER2=5\r\n");
        row("append at end of section", "[EXEINI]\r\nNUMBER=0\r\n\r\n[OTHER]\r\nX=1\r\n", "NUMBER2", "3",
            "[EXEINI]\r\nNUMBER=0\r\nNUMBER2=3\r\n\r\n[OTHER]\r\nX=1\r\n");
        row("append section at end of file", "[OTHER]\r\nX=1", "NAME", "a",
            "[OTHER]\r\nX=1\r\n[EXEINI]\r\nNAME=a\r\n");
        row("LF lines kept byte for byte", "[EXEINI]\nA = 1 \n", "B", "2", "[EXEINI]\nA = 1 \nB=2\r\n");
        row("shorter value: the whole file replaced", "[EXEINI]\r\nNAME=a long name\r\n", "NAME", "b",
            "[EXEINI]\r\nNAME=b\r\n");
        row("cp932 value", QString(), "NAME", QStringLiteral("髙橋①"),
            QStringLiteral("[EXEINI]\r\nNAME=髙橋①\r\n"));
    }
    void writing()
    {
        QFETCH(QString, before);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QString, after);
        if (!before.isNull())
            QVERIFY(WriteBytes(path(), ToAnsi(before)));
        QVERIFY(WritePrivateProfileStringA("EXEINI", ToAnsi(key), ToAnsi(value), path()));
        QCOMPARE(ReadBytes(path()), ToAnsi(after));
        QCOMPARE(readString(path(), "EXEINI", ToAnsi(key)), ToAnsi(value));
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

    void defaultModeKeepsExistingMode()
    {
        QVERIFY(WriteBytes(path(), "[S]\r\n"));
        QVERIFY(QFile::setPermissions(path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
        QVERIFY(WritePrivateProfileStringA("S", "K", "v", path()));
        struct stat st;
        QCOMPARE(::stat(QFile::encodeName(path()).constData(), &st), 0);
        QCOMPARE(st.st_mode & 0777, mode_t(0640));
    }

    // A write that fails leaves the old file as it was.
    void failedAtomicWriteLeavesOldFile()
    {
        if (::geteuid() == 0)
            QSKIP("root may write into a read-only folder");
        QVERIFY(WriteBytes(path(), "old\r\n"));
        QVERIFY(QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::ExeOwner));
        QVERIFY(!WriteFileAtomically(path(), "new\r\n"));
        QVERIFY(QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QCOMPARE(ReadBytes(path()), QByteArray("old\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestTextAndFiles)
#include "test_text_and_files.moc"
