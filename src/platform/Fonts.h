#pragma once

#include <QFont>

namespace pelloway {

// The Japanese UI font the forms are designed in. Linux desktops lack it; IPAPGothic (or
// VL PGothic, Noto Sans CJK JP) stands in through Qt's font substitution table.
inline constexpr const char* DesignFontFamily = "ＭＳ Ｐゴシック";

// Registers the substitutions once; call before the first form is created.
void InstallFontSubstitutions();

// The design font at a point size (fractional sizes such as 8.25 are kept).
QFont DesignFont(double pointSize, bool bold = false);

} // namespace pelloway
