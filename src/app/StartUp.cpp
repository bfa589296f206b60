#include "app/StartUp.h"

#include "platform/Runtime.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

namespace pelloway {

namespace {

const char* const PlatformVariable = "QT_QPA_PLATFORM";
bool g_platformChosen = false;

// Copies the shipped files of one folder that the data folder does not have yet.
void copyMissing(const QString& from, const QString& to, const QStringList& patterns)
{
    QDir().mkpath(to);
    const QDir source(from);
    for (const QString& name : source.entryList(patterns, QDir::Files)) {
        const QString target = to + u'/' + name;
        if (!QFileInfo::exists(target))
            QFile::copy(source.filePath(name), target);
    }
}

} // namespace

bool PreferX11OnWayland(const QStringList& arguments)
{
    if (!qEnvironmentVariableIsEmpty(PlatformVariable) || arguments.contains(QStringLiteral("-platform")) ||
        arguments.contains(QStringLiteral("--platform")))
        return false;
    const bool wayland = !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
                         qEnvironmentVariable("XDG_SESSION_TYPE") == QStringLiteral("wayland");
    if (!wayland)
        return false;
    // A list: Qt takes the first that starts, so a Wayland session without Xwayland still runs.
    qputenv(PlatformVariable, "xcb;wayland");
    g_platformChosen = true;
    return true;
}

void ForgetPlatformChoice()
{
    if (g_platformChosen)
        qunsetenv(PlatformVariable);
    g_platformChosen = false;
}

std::optional<int> AnswerCommandLine(const QStringList& arguments, QTextStream& out)
{
    const QString version = QStringLiteral(PELLOWAY_VERSION);
    for (const QString& argument : arguments.mid(1)) {
        if (argument == u"--version" || argument == u"-v") {
            out << "pelloway " << version << '\n';
            return 0;
        }
        if (argument == u"--help" || argument == u"-h") {
            out << "Usage: pelloway [--help] [--version]\n"
                   "\n"
                   "Pelloway checks one POP3 mailbox for new mail and lets a bird fly when some\n"
                   "has come. Everything else is set in its windows: ファイル → 設定.\n"
                   "\n"
                   "  -h, --help     show this text and exit\n"
                   "  -v, --version  show the version and exit\n"
                   "\n"
                   "Files: ini.ini and iniIdPass.ini in the folder ★MailData beside the program when\n"
                   "that folder is writable, otherwise in $XDG_CONFIG_HOME/pelloway/★MailData\n"
                   "(~/.config/pelloway), with vbmail.ini in $XDG_CONFIG_HOME/pelloway.\n"
                   "A second start brings the running window to the front.\n";
            return 0;
        }
    }
    return std::nullopt;
}

QString ConfigHome()
{
    const QString home = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!home.isEmpty() && QDir::isAbsolutePath(home))
        return home;
    return QDir::homePath() + QStringLiteral("/.config");
}

ProgramFolders ChooseFolders(const QString& programFolder, const QString& configHome)
{
    const QFileInfo ownData(programFolder + DataFolderSuffix);
    if (!QFileInfo::exists(programFolder + u'/' + PerUserMarker) && ownData.isDir() && ownData.isWritable())
        return {programFolder, QStringLiteral("vbmail.ini"), false};

    const QString data = configHome + QStringLiteral("/pelloway");
    QDir().mkpath(data);
    // The account file holds a password: the folder is its owner's alone.
    QFile::setPermissions(data, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    copyMissing(programFolder + DataFolderSuffix, data + DataFolderSuffix, {QStringLiteral("*.gif")});
    copyMissing(programFolder + QStringLiteral("/Sound"), data + QStringLiteral("/Sound"),
                {QStringLiteral("*.mid")});
    copyMissing(programFolder, data, {QStringLiteral("about.html")});
    return {data, data + QStringLiteral("/vbmail.ini"), true};
}

} // namespace pelloway
