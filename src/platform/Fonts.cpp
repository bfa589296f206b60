#include "platform/Fonts.h"

#include <QGuiApplication>
#include <QStringList>

namespace pelloway {

void InstallFontSubstitutions()
{
    const QStringList substitutes{QStringLiteral("IPAPGothic"), QStringLiteral("VL PGothic"),
                                  QStringLiteral("Noto Sans CJK JP")};
    for (const char* family : {DesignFontFamily, "MS PGothic", "MS UI Gothic"})
        QFont::insertSubstitutions(QString::fromUtf8(family), substitutes);
    // Japanese text in the desktop's own font (the menus, the out-of-sight buttons) takes its
    // glyphs from the same face rather than from the system's first Japanese font: one face
    // loaded instead of two, about 2 MB of memory less.
    if (QGuiApplication::instance())
        QFont::insertSubstitutions(QGuiApplication::font().family(), substitutes);
}

QFont DesignFont(double pointSize, bool bold)
{
    QFont font(QString::fromUtf8(DesignFontFamily));
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

} // namespace pelloway
