#pragma once
// What the program settles before its window opens: the window system, the command line,
// and the folders it keeps its files in.

#include <QString>
#include <QStringList>
#include <optional>

class QTextStream;

namespace pelloway {

// On a Wayland desktop, asks Qt for X11 (through Xwayland) first and Wayland only when there
// is no X server: the bird's shape, its self-moves and topmost stacking need X11. A platform
// the user chose (QT_QPA_PLATFORM, -platform) is left alone. Runs before the application
// object; gives true when it chose.
bool PreferX11OnWayland(const QStringList& arguments);
// Takes the choice back out of the environment, so programs started from ours (a browser)
// choose for themselves. Runs after the application object is made.
void ForgetPlatformChoice();

// Answers --help and --version on `out`; gives the exit status then, nothing otherwise.
std::optional<int> AnswerCommandLine(const QStringList& arguments, QTextStream& out);

// Where the program keeps its files.
struct ProgramFolders
{
    // The folder whose "★MailData" holds ini.ini, iniIdPass.ini and the pictures, and whose
    // "Sound" holds the tune.
    QString data;
    // "vbmail.ini": in the working directory when the program folder is the data folder,
    // otherwise in the per-user folder.
    QString serverFile;
    bool perUser = false;
};

// The name of the file the build puts beside its program: that folder then holds no data.
inline const QString PerUserMarker = QStringLiteral("per-user-folders");

// The program folder itself when its "★MailData" is a writable folder and no per-user
// marker lies beside the program, as in a portable copy. Otherwise `configHome`/pelloway,
// made readable by its owner only, with the shipped pictures, tune and page copied from the
// program folder where missing (files the user changed there stay).
ProgramFolders ChooseFolders(const QString& programFolder, const QString& configHome);

// $XDG_CONFIG_HOME, or ~/.config.
QString ConfigHome();

} // namespace pelloway
