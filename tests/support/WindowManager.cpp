#include "support/WindowManager.h"

#include "support/TestSupport.h"

#include <QMap>
#include <QRegularExpression>
#include <QTest>

namespace pelloway::test {

QString RunProgram(const QString& program, const QStringList& args, int timeoutMs)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return {};
    }
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return {};
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

QString FindWindow(const QString& name, int timeoutMs, bool onlyVisible)
{
    QStringList args{QStringLiteral("search"), QStringLiteral("--name"),
                     u'^' + QRegularExpression::escape(name) + u'$'};
    if (onlyVisible)
        args.insert(1, QStringLiteral("--onlyvisible"));
    QString ids;
    (void)QTest::qWaitFor([&] { return !(ids = RunProgram(QStringLiteral("xdotool"), args)).isEmpty(); },
                          timeoutMs);
    return ids.section(u'\n', 0, 0);
}

QRect WindowGeometry(const QString& id)
{
    QMap<QString, int> v;
    for (const QString& line : RunProgram(QStringLiteral("xdotool"), {QStringLiteral("getwindowgeometry"),
                                                                      QStringLiteral("--shell"), id})
                                   .split(u'\n'))
        v[line.section(u'=', 0, 0)] = line.section(u'=', 1).toInt();
    return QRect(v.value(QStringLiteral("X"), -1), v.value(QStringLiteral("Y"), -1),
                 v.value(QStringLiteral("WIDTH")), v.value(QStringLiteral("HEIGHT")));
}

WindowManager::WindowManager()
{
    m_process.start(QStringLiteral("openbox"), {});
    if (!m_process.waitForStarted())
        return;
    m_running =
        QTest::qWaitFor(
            [this] {
                return m_process.state() != QProcess::Running ||
                       RunProgram(QStringLiteral("xprop"),
                                  {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")})
                           .contains(u'#');
            },
            10000) &&
        m_process.state() == QProcess::Running;
}

WindowManager::~WindowManager()
{
    StopProcess(m_process, 3000);
}

} // namespace pelloway::test
