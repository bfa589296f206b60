// New mail told by a desktop notification: a check with the new-only choice against a private
// Dovecot, the notification service being python3-dbusmock's notification daemon on a private
// bus. Who wrote about what, for exactly the new messages, decoded; nothing without a service.

#include "mail/CheckCycle.h"
#include "mail/NMailLibrary.h"
#include "platform/linux/notify/DesktopNotifications.h"
#include "settings/SettingsFiles.h"
#include "settings/SharedValues.h"
#include "support/DBusMock.h"
#include "support/Dovecot.h"
#include "support/RecordingServices.h"
#include "support/TestSupport.h"

#include <QDBusConnection>
#include <QLineEdit>
#include <QTest>
#include <memory>

using namespace pelloway;
using namespace pelloway::test;

namespace {

QByteArray Message(const QByteArray& from, const QByteArray& subject)
{
    return "From: " + from + "\r\nTo: pelloway@localhost\r\nSubject: " + subject +
           "\r\nDate: Mon, 7 Dec 2026 01:00:00 +0900\r\nMIME-Version: 1.0\r\n\r\nbody\r\n";
}

// "会議の資料について" in ISO-2022-JP, from "山田太郎" in UTF-8.
const QByteArray Yamada = Message("=?UTF-8?B?5bGx55Sw5aSq6YOO?= <taro@example.jp>",
                                  "=?ISO-2022-JP?B?GyRCMnE1RCROO3FOQSRLJEQkJCRGGyhC?=");
// "ご注文 <確認> & 発送": characters a markup-reading service must not take as markup.
const QByteArray Shop =
    Message("\"Shop\" <shop@example.com>", "=?UTF-8?Q?=E3=81=94=E6=B3=A8=E6=96=87=20=3C?= "
                                           "=?UTF-8?Q?=E7=A2=BA=E8=AA=8D=3E=20=26=20=E7=99=BA=E9=80=81?=");
const QByteArray Plain = Message("ann@example.org", "Lunch on Friday");

} // namespace

class TestCheckNotifications : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        m_server = std::make_unique<Dovecot>();
        QVERIFY2(m_server->isRunning(), qPrintable(m_server->error()));
        m_bus = std::make_unique<DBusMock>();
        QVERIFY2(m_bus->startBus(), qPrintable(m_bus->error()));
    }
    void cleanupTestCase()
    {
        m_bus.reset();
        m_server.reset();
    }
    void init() { m_server->clearMailbox(); }

    // Summary and body for exactly the new messages, newest first; escaped only for a
    // service that reads markup.
    void whoWrote_data()
    {
        QTest::addColumn<QString>("capabilities"); // empty: the template's, with body-markup
        QTest::addColumn<QString>("shopLine");
        QTest::newRow("markup") << QString() << QStringLiteral("Shop：ご注文 &lt;確認&gt; &amp; 発送");
        QTest::newRow("plain text") << QStringLiteral("body") << QStringLiteral("Shop：ご注文 <確認> & 発送");
    }
    void whoWrote()
    {
        QFETCH(QString, capabilities);
        QFETCH(QString, shopLine);
        QVERIFY2(m_bus->startNotificationDaemon(capabilities), qPrintable(m_bus->error()));
        m_server->addMessage(Yamada);
        m_server->addMessage(Shop);

        Checker checker(*m_server, m_bus->address());
        QCOMPARE(checker.check(), QStringLiteral("新着メールが有ります|2"));
        QTRY_COMPARE(m_bus->notifications().size(), 1);
        QVariantList call = m_bus->notifications().last();
        QCOMPARE(call.value(0).toString(), QStringLiteral("Pelloway"));
        QCOMPARE(call.value(3).toString(), QStringLiteral("新着メール 2 通"));
        QCOMPARE(call.value(4).toString(), shopLine + QStringLiteral("\n山田太郎：会議の資料について"));

        // Nothing new: no notification.
        QCOMPARE(checker.check(), QStringLiteral("新着メールはありませんでした。|0"));
        // One more: only that one, replacing the notification before.
        m_server->addMessage(Plain);
        QCOMPARE(checker.check(), QStringLiteral("新着メールが有ります|1"));
        QTRY_COMPARE(m_bus->notifications().size(), 2);
        call = m_bus->notifications().last();
        QCOMPARE(call.value(3).toString(), QStringLiteral("新着メール 1 通"));
        QCOMPARE(call.value(4).toString(), QStringLiteral("ann@example.org：Lunch on Friday"));
        QCOMPARE(call.value(1).toUInt(), m_bus->notifications().first().value(1).toUInt() + 1);
        m_bus->stopNotificationDaemon();
    }

    // Without a notification service the check reports as always and nothing else happens.
    void noService()
    {
        m_bus->stopNotificationDaemon();
        m_server->addMessage(Yamada);
        Checker checker(*m_server, m_bus->address());
        QCOMPARE(checker.check(), QStringLiteral("新着メールが有ります|1"));
        QCOMPARE(checker.check(), QStringLiteral("新着メールはありませんでした。|0"));
        QVERIFY(checker.failures.isEmpty());
    }

private:
    // A check with the new-only choice through the real library, notifying through the
    // private bus.
    struct Checker
    {
        Checker(const Dovecot& server, const QString& busAddress)
            : notifications(QDBusConnection::connectToBus(busAddress, QStringLiteral("notifications-test")))
        {
            library.Options().extraCaCertificates = server.caCertificates();
            values.PopServer = server.plainServer();
            files.StoreAccount(QString::fromLatin1(server.user()), QString::fromLatin1(server.password()),
                               true);
            host.newMailOnlyChoice = 1;
            cycle.notifications = &notifications;
            cycle.wait = [this](int) {
                const MsgForm* form = cycle.msgForm().loadedForm();
                report = form->Text1->text() + u'|' + form->Text2->text();
            };
            cycle.failureLine = [this](const QString& line) { failures.append(line); };
        }
        ~Checker() { QDBusConnection::disconnectFromBus(QStringLiteral("notifications-test")); }
        // The report's two texts.
        QString check()
        {
            report.clear();
            cycle.CheckNewMail();
            return report;
        }

        AppFolder app;
        SettingsFiles files{app.path(), app.file(QStringLiteral("vbmail.ini"))};
        SharedValues values;
        NMailLibrary library;
        CallLog log;
        RecordingCheckHost host{log};
        DesktopNotifications notifications;
        CheckCycle cycle{library, files, values, host};
        QString report;
        QStringList failures;
    };

    std::unique_ptr<Dovecot> m_server;
    std::unique_ptr<DBusMock> m_bus;
};

QTEST_MAIN(TestCheckNotifications)
#include "test_check_notifications.moc"
