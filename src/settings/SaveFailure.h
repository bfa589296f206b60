#pragma once

#include <QString>

class QWidget;

namespace pelloway {

// The text of a failed settings write: which file, and why in the system's words.
QString SaveFailureText(const QString& path, const QString& reason);

// A settings write failed (LastWriteError() says why): one line on standard error, and,
// with a parent, a modal box over it naming the file and the reason.
void ReportSaveFailure(QWidget* parent, const QString& path);

} // namespace pelloway
