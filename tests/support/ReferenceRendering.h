#pragma once
// Reference renderings: a window drawn on the offscreen platform (96 dpi, the program's font
// substitutions) compared pixel for pixel with a PNG kept under tests/<folder>/reference/.
// Font rendering settings come from fontconfig: a test that draws one runs with
// FONTCONFIG_FILE=tests/support/fonts.conf, so the user's own settings cannot change it.
// Running a test with PELLOWAY_UPDATE_REFERENCES=1 writes the PNGs from what it draws now.

#include "support/TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QWidget>

namespace pelloway::test {

// Empty when `window` draws exactly as tests/<folder>/reference/<name>.png shows; otherwise
// what differs, with the drawing left as <name>-seen.png in the working folder.
inline QString CompareWithReference(QWidget* window, const QString& folder, const QString& name)
{
    const QImage seen = window->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QString path = QStringLiteral("%1/tests/%2/reference/%3.png").arg(SourceDir(), folder, name);
    if (qEnvironmentVariableIntValue("PELLOWAY_UPDATE_REFERENCES") == 1) {
        if (QDir().mkpath(QFileInfo(path).path()) && seen.save(path, "PNG", 0)) // 0: smallest file
            return {};
        return QStringLiteral("cannot write ") + path;
    }
    const QImage expected = QImage(path).convertToFormat(QImage::Format_RGB32);
    if (seen == expected)
        return {};
    QRect differing;
    for (int y = 0; y < seen.height() && expected.size() == seen.size(); ++y)
        for (int x = 0; x < seen.width(); ++x)
            if (seen.pixel(x, y) != expected.pixel(x, y))
                differing |= QRect(x, y, 1, 1);
    seen.save(name + QStringLiteral("-seen.png"));
    return QStringLiteral("%1 (%2x%3) and the drawing (%4x%5, left as %6-seen.png) differ within %7x%8 at "
                          "(%9, %10); FONTCONFIG_FILE=%11")
        .arg(path)
        .arg(expected.width())
        .arg(expected.height())
        .arg(seen.width())
        .arg(seen.height())
        .arg(name)
        .arg(differing.width())
        .arg(differing.height())
        .arg(differing.x())
        .arg(differing.y())
        .arg(qEnvironmentVariable("FONTCONFIG_FILE"));
}

} // namespace pelloway::test
