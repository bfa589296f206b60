#include "platform/Ansi.h"
#include "settings/SettingsFiles.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <sys/stat.h>

using namespace pelloway;
using test::ReadBytes;
using test::WriteBytes;

class TestSettingsFiles : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<test::AppFolder> m_app;
    std::unique_ptr<SettingsFiles> m_files;
    QString vbmail() const { return m_app->file(QStringLiteral("work/vbmail.ini")); }

private slots:
    void init()
    {
        m_app = std::make_unique<test::AppFolder>();
        QDir(m_app->path()).mkdir(QStringLiteral("work"));
        m_files = std::make_unique<SettingsFiles>(m_app->path(), vbmail());
    }

    void pathsAreFormedByAppending()
    {
        SettingsFiles root(QStringLiteral("/"));
        QCOMPARE(root.iniPath(), QStringLiteral("//★MailData/ini.ini"));
        QCOMPARE(m_files->idPassPath(), m_app->path() + QStringLiteral("/★MailData/iniIdPass.ini"));
    }

    // vbmail.ini, unless told otherwise, is read from the working folder, not the program's.
    void serverFileInTheWorkingFolder()
    {
        QVERIFY(WriteBytes(m_app->file(QStringLiteral("vbmail.ini")), "POP3=pop.example\r\n"));
        const QString old = QDir::currentPath();
        QVERIFY(QDir::setCurrent(m_app->file(QStringLiteral("work"))));
        SharedValues values;
        SettingsFiles(m_app->path()).LoadServerSettings(values);
        QDir::setCurrent(old);
        QVERIFY(values.PopServer.isEmpty());
    }

    // What is read, as "SMTP|POP3|MAIL|APOP"; before reading: "keep" and 7.
    void loadServerSettings_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("read");
        const QString a(100, QChar(0x3042));
        QTest::newRow("no file") << QByteArray() << "keep|keep|keep|7";
        QTest::newRow("as written") << QByteArray("SMTP=s\r\nPOP3=p\r\nMAIL=m@x\r\nAPOP=1\r\n")
                                    << "s|p|m@x|1";
        QTest::newRow("other order, extra and blank lines")
            << QByteArray("\r\nAPOP=0\r\nfoo\r\nMAIL=m\r\n\r\nPOP3=p\r\nSMTP=s\r\n") << "s|p|m|0";
        QTest::newRow("lower-case key ignored") << QByteArray("smtp=x\r\nPOP3=p\r\n") << "keep|p|keep|7";
        QTest::newRow("later line wins") << QByteArray("POP3=a\r\nPOP3=b\r\n") << "keep|b|keep|7";
        QTest::newRow("blanks kept") << QByteArray("POP3= p \r\n") << "keep| p |keep|7";
        QTest::newRow("empty value") << QByteArray("POP3=\r\nAPOP=\r\n") << "keep||keep|0";
        QTest::newRow("APOP 1.5 rounds") << QByteArray("APOP=1.5\n") << "keep|keep|keep|2";
        QTest::newRow("APOP out of range clamps") << QByteArray("APOP=99999\n") << "keep|keep|keep|32767";
        QTest::newRow("LF line ends") << QByteArray("POP3=p\nMAIL=m\n") << "keep|p|m|7";
        QTest::newRow("cp932 text") << "MAIL=" + ToAnsi(QStringLiteral("髙橋①@例"))
                                    << QStringLiteral("keep|keep|髙橋①@例|7");
        QTest::newRow("100 characters kept, counted as characters")
            << "POP3=" + ToAnsi(a + QStringLiteral("ああ")) << QStringLiteral("keep|%1|keep|7").arg(a);
    }
    void loadServerSettings()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, read);
        if (!file.isNull())
            QVERIFY(WriteBytes(vbmail(), file));
        SharedValues v;
        v.SmtpServer = v.PopServer = v.MailAddress = QStringLiteral("keep");
        v.ApopFlag = 7;
        m_files->LoadServerSettings(v);
        QCOMPARE(
            QStringList({v.SmtpServer, v.PopServer, v.MailAddress, QString::number(v.ApopFlag)}).join(u'|'),
            read);
    }

    void saveServerSettingsWritesFourLines()
    {
        QVERIFY(WriteBytes(vbmail(), "SMTP=old\r\nPOP3=old\r\nMAIL=old\r\nAPOP=0\r\nEXTRA=1\r\n"));
        SharedValues v;
        v.SmtpServer = QStringLiteral("smtp.example.jp");
        v.PopServer = QStringLiteral(" pop3s://[::1]:995 ");
        v.MailAddress = QStringLiteral("髙橋@例.jp");
        v.ApopFlag = 1;
        QVERIFY(m_files->SaveServerSettings(v));
        QCOMPARE(ReadBytes(vbmail()), "SMTP=smtp.example.jp\r\nPOP3= pop3s://[::1]:995 \r\nMAIL=" +
                                          ToAnsi(QStringLiteral("髙橋@例.jp")) + "\r\nAPOP=1\r\n");
    }

    void missingDataFolderReadsDefaults()
    {
        test::AppFolder bare(false);
        SettingsFiles files(bare.path());
        files.WriteIntervalText(QStringLiteral("10"));
        files.WriteHangUpChoice(1);
        files.StoreAccount(QStringLiteral("id"), QStringLiteral("pw"), true);
        QCOMPARE(files.ReadIntervalMinutes(), 0);
        QCOMPARE(files.ReadHangUpChoice(), 0);
        QCOMPARE(files.LoadSavedAccount(), std::make_pair(QString(), QString()));
        QVERIFY(!QDir(bare.path()).exists(QStringLiteral("★MailData")));
    }

    void accountSaveAndKeep()
    {
        m_files->StoreAccount(QStringLiteral("taro"), QStringLiteral("p@ss 語"), true);
        QCOMPARE(ReadBytes(m_files->idPassPath()),
                 "[EXEINI]\r\nNAME=taro\r\nNAME2=" + ToAnsi(QStringLiteral("p@ss 語")) + "\r\nNAME3=1\r\n");
        m_files->StoreAccount(QStringLiteral("other"), QStringLiteral("other"), false);
        QCOMPARE(ReadBytes(m_files->idPassPath()),
                 "[EXEINI]\r\nNAME=taro\r\nNAME2=" + ToAnsi(QStringLiteral("p@ss 語")) + "\r\nNAME3=0\r\n");
        QCOMPARE(m_files->LoadSavedAccount(),
                 std::make_pair(QStringLiteral("taro"), QStringLiteral("p@ss 語")));
    }

    void accountFileIsOwnerOnly()
    {
        QVERIFY(WriteBytes(m_files->idPassPath(), "[EXEINI]\r\n"));
        QVERIFY(QFile::setPermissions(m_files->idPassPath(),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther));
        m_files->StoreAccount(QStringLiteral("a"), QStringLiteral("b"), false);
        struct stat st;
        QCOMPARE(::stat(QFile::encodeName(m_files->idPassPath()).constData(), &st), 0);
        QCOMPARE(st.st_mode & 0777, mode_t(0600));
    }

    // A hand-made account file others could read is made owner-only when read, with one
    // line on standard error that names the file and holds no secret.
    void readableAccountFileIsTightened_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("tightened");
        QTest::newRow("0660") << 0660 << 0600;
        QTest::newRow("0604") << 0604 << 0600;
        QTest::newRow("0400 stays") << 0400 << 0400;
    }
    void readableAccountFileIsTightened()
    {
        QFETCH(int, mode);
        QFETCH(int, tightened);
        const QString path = m_files->idPassPath();
        QVERIFY(WriteBytes(path, "[EXEINI]\r\nNAME=taro\r\nNAME2=hunter2\r\n"));
        QCOMPARE(::chmod(QFile::encodeName(path).constData(), mode_t(mode)), 0);
        test::StderrCapture capture;
        QCOMPARE(m_files->LoadSavedAccount(),
                 std::make_pair(QStringLiteral("taro"), QStringLiteral("hunter2")));
        QCOMPARE(m_files->LoadSavedAccount().second, QStringLiteral("hunter2"));
        const QByteArray said = capture.take();
        struct stat st;
        QCOMPARE(::stat(QFile::encodeName(path).constData(), &st), 0);
        QCOMPARE(int(st.st_mode & 0777), tightened);
        QCOMPARE(said.count('\n'), mode == tightened ? 0 : 1);
        if (mode != tightened)
            QVERIFY2(said.contains(QFile::encodeName(path)) && said.contains("owner only"), said.constData());
        QVERIFY(!said.contains("hunter2"));
    }

    // The certificate a user trusts is kept per server in an owner-only file; a new choice
    // replaces the old one, and damaged values read as none.
    void trustedCertificates()
    {
        const QByteArray one(32, '\x11');
        const QByteArray two(32, '\x22');
        QCOMPARE(m_files->TrustedCertificate(QStringLiteral("mail.example.jp:110")), QByteArray());
        QVERIFY(m_files->TrustCertificate(QStringLiteral("mail.example.jp:110"), one));
        QVERIFY(m_files->TrustCertificate(QStringLiteral("[::1]:995"), two));
        QCOMPARE(m_files->TrustedCertificate(QStringLiteral("mail.example.jp:110")), one);
        QCOMPARE(m_files->TrustedCertificate(QStringLiteral("[::1]:995")), two);
        QCOMPARE(m_files->TrustedCertificate(QStringLiteral("mail.example.jp:995")), QByteArray());
        QVERIFY(m_files->TrustCertificate(QStringLiteral("mail.example.jp:110"), two));
        QCOMPARE(m_files->TrustedCertificate(QStringLiteral("mail.example.jp:110")), two);
        QVERIFY(!m_files->TrustCertificate(QStringLiteral("a=b:110"), one));
        QVERIFY(!m_files->TrustCertificate(QStringLiteral("mail.example.jp:110"), QByteArray(5, 'x')));
        struct stat st;
        QCOMPARE(::stat(QFile::encodeName(m_files->trustPath()).constData(), &st), 0);
        QCOMPARE(st.st_mode & 0777, mode_t(0600));
        QVERIFY(m_files->trustPath().endsWith(QStringLiteral("/★MailData/trust.ini")));

        QVERIFY(WriteBytes(m_files->trustPath(), "[CERTIFICATES]\r\nbad:110=12zz\r\nshort:110=1122\r\n"));
        QCOMPARE(m_files->TrustedCertificate(QStringLiteral("bad:110")), QByteArray());
        QCOMPARE(m_files->TrustedCertificate(QStringLiteral("short:110")), QByteArray());
    }

    void longPasswordReadsBackCut()
    {
        m_files->StoreAccount(QStringLiteral("id"), QString(300, u'x'), true);
        QCOMPARE(m_files->LoadSavedAccount().second, QString(255, u'x'));
    }
};

QTEST_GUILESS_MAIN(TestSettingsFiles)
#include "test_settings_files.moc"
