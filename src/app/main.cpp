#include "app/MainForm.h"
#include "app/Program.h"
#include "app/SingleInstance.h"
#include "app/StartUp.h"
#include "platform/EndingSignals.h"
#include "platform/Fonts.h"
#include "platform/QtTranslations.h"
#include "platform/Runtime.h"

#include <QApplication>
#include <QTextStream>
#include <cstdio>

int main(int argc, char** argv)
{
    using namespace pelloway;
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    {
        QTextStream out(stdout);
        if (const std::optional<int> status = AnswerCommandLine(arguments, out))
            return *status;
    }
    PreferX11OnWayland(arguments);

    QApplication app(argc, argv);
    ForgetPlatformChoice();
    QApplication::setApplicationName(QStringLiteral("Pelloway"));
    QApplication::setApplicationVersion(QStringLiteral(PELLOWAY_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("pelloway"));
    QApplication::setQuitOnLastWindowClosed(false); // the main window's close ends the program
    InstallFontSubstitutions();
    InstallQtTranslations();

    // From here on an ending signal waits in a pipe until the event loop runs the ending.
    Program* running = nullptr;
    const EndingSignals endingSignals([&running](int) {
        if (running)
            running->mainForm().EndForSession();
    });

    const ProgramFolders folders = ChooseFolders(AppPath(), ConfigHome());
    SingleInstance instance(RuntimeFolder(), folders.data);
    switch (instance.Claim()) {
    case SingleInstance::Outcome::OtherShown:
        return 0;
    case SingleInstance::Outcome::OtherBusy:
        std::fputs("pelloway: already running; that copy did not answer in time\n", stderr);
        return 0;
    case SingleInstance::Outcome::Unavailable:
        std::fputs("pelloway: cannot tell whether another copy runs; starting anyway\n", stderr);
        break;
    case SingleInstance::Outcome::First:
        break;
    }

    Program program(folders);
    running = &program;
    instance.showRequested = [&program] { program.mainForm().ShowToFront(); };
    program.Start();
    return QApplication::exec();
}
