#include "platform/Fonts.h"

#include <QStringList>

namespace pelloway {

void InstallFontSubstitutions()
{
    const QStringList substitutes{QStringLiteral("IPAPGothic"), QStringLiteral("VL PGothic"),
                                  QStringLiteral("Noto Sans CJK JP")};
    for (const char* family : {DesignFontFamily, "MS PGothic", "MS UI Gothic"})
        QFont::insertSubstitutions(QString::fromUtf8(family), substitutes);
}

QFont DesignFont(double pointSize, bool bold)
{
    QFont font(QString::fromUtf8(DesignFontFamily));
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

} // namespace pelloway
