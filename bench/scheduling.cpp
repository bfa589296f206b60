// Check scheduling with the real timers: the interval set to 1 as a user types it, how long
// until the automatic checks start, and how even the one-second counting tick runs. The
// mail library only notes the time of each connection (one per check); the report's
// one-second wait is the real one.

#include "app/MainForm.h"
#include "character/CharacterWindow.h"
#include "mail/CheckCycle.h"
#include "platform/Mci.h"
#include "platform/QuietPlatform.h"
#include "platform/Ras.h"
#include "settings/SettingsFiles.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

using namespace pelloway;

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int wanted = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2;
    test::AppFolder folder;
    SettingsFiles files(folder.path(), folder.file(QStringLiteral("vbmail.ini")));
    UnavailablePop3Library pop3;
    NoMci mci;
    NoRas ras;
    HiddenCharacterWindow character;
    MainForm form(files, MainFormServices{pop3, mci, ras, character});
    form.endProgramHook = [] {};
    form.checkCycle().failureLine = [](const QString&) {};
    form.values().PopServer = QStringLiteral("pop.test");
    form.Form_Load();

    QElapsedTimer clock;
    std::vector<double> ticks; // the counting tick's times
    QObject::connect(form.Timer3, &QTimer::timeout, &app,
                     [&] { ticks.push_back(clock.nsecsElapsed() / 1e9); });
    std::vector<double> checks;
    pop3.onConnect = [&] {
        checks.push_back(clock.nsecsElapsed() / 1e9);
        if (int(checks.size()) == wanted)
            QTimer::singleShot(0, &app, &QApplication::quit);
    };

    std::printf("interval 1 minute: expecting %d automatic checks, one every 61 counting ticks\n", wanted);
    std::fflush(stdout);
    clock.start();
    form.setForm()->SetIntervalText(QStringLiteral("1"));
    QTimer::singleShot(wanted * 61'000 + 10'000, &app, &QApplication::quit); // give up
    app.exec();

    for (size_t i = 0; i < checks.size(); ++i) {
        const double expected = 61.0 * double(i + 1);
        std::printf("check %zu started at %8.3f s (target %6.1f s, at most 0.1 s later; off by %+.3f s)\n",
                    i + 1, checks[i], expected, checks[i] - expected);
    }
    if (ticks.size() > 1) {
        double worst = 0, sum = 0;
        for (size_t i = 1; i < ticks.size(); ++i) {
            const double gap = ticks[i] - ticks[i - 1];
            sum += gap;
            worst = std::max(worst, std::abs(gap - 1.0));
        }
        std::printf("counting tick: %zu ticks, mean period %.4f s (target 1.0000), worst gap off by %.4f s;"
                    " first tick at %.4f s\n",
                    ticks.size(), sum / double(ticks.size() - 1), worst, ticks.front());
    }
    return int(checks.size()) == wanted ? 0 : 1;
}
