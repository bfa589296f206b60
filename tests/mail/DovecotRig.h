#pragma once
// One check through the real mail library against a private Dovecot, with the main window's
// side, the reports, boxes and failure lines recorded in one timeline.

#include "CheckFakes.h"
#include "mail/CheckCycle.h"
#include "mail/NMailLibrary.h"
#include "settings/SettingsFiles.h"
#include "settings/SharedValues.h"
#include "support/Dovecot.h"
#include "support/TestSupport.h"

#include <QLineEdit>

namespace pelloway::test {

struct Rig
{
    explicit Rig(const Dovecot& server, bool trustServer = true)
        : files(app.path(), app.file(QStringLiteral("vbmail.ini"))), cycle(library, files, values, host)
    {
        if (trustServer)
            library.Options().extraCaCertificates = server.caCertificates();
        library.Options().responseTimeoutMs = 20000;
        // The certificate names "localhost".
        values.PopServer = QStringLiteral("localhost:%1").arg(server.plainPort());
        files.StoreAccount(QString::fromLatin1(server.user()), QString::fromLatin1(server.password()), true);
        cycle.wait = [this](int ms) {
            const MsgForm* form = cycle.msgForm().loadedForm();
            log.append(
                QStringLiteral("report %1 %2|%3").arg(ms).arg(form->Text1->text(), form->Text2->text()));
        };
        cycle.errorBox = [this](const QString& text) { log.append(QStringLiteral("box ") + text); };
        cycle.trustQuestion = [this](const pop3::CertificateProblem& problem) {
            log.append(QStringLiteral("question ") + problem.server);
            questions.append(problem);
            return trust;
        };
        cycle.failureLine = [this](const QString& line) { failures.append(line); };
    }

    AppFolder app;
    SettingsFiles files;
    SharedValues values;
    NMailLibrary library;
    QStringList log;
    RecordingCheckHost host{log};
    CheckCycle cycle;
    QStringList failures;
    QList<pop3::CertificateProblem> questions;
    bool trust = false; // the answer to a certificate question
};

} // namespace pelloway::test
