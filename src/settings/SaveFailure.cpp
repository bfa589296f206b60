#include "settings/SaveFailure.h"

#include "platform/AtomicFile.h"

#include <QDir>
#include <QMessageBox>
#include <cstdio>

namespace pelloway {

QString SaveFailureText(const QString& path, const QString& reason)
{
    return QStringLiteral("設定を保存できませんでした。\n%1\n(%2)")
        .arg(QDir::toNativeSeparators(QDir::cleanPath(QDir::current().absoluteFilePath(path))), reason);
}

void ReportSaveFailure(QWidget* parent, const QString& path)
{
    const QString reason = LastWriteError();
    const QString line = QStringLiteral("pelloway: settings: cannot write %1: %2\n").arg(path, reason);
    std::fputs(line.toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
    if (!parent)
        return;
    QMessageBox box(QMessageBox::Warning, QStringLiteral("エラー"), SaveFailureText(path, reason),
                    QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

} // namespace pelloway
