#include "app/Program.h"
#include "platform/Fonts.h"
#include "platform/QtTranslations.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pelloway"));
    QApplication::setQuitOnLastWindowClosed(false); // the main window's close ends the program
    pelloway::InstallFontSubstitutions();
    pelloway::InstallQtTranslations();

    pelloway::Program program;
    program.Start();
    return QApplication::exec();
}
