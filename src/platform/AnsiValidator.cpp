#include "platform/AnsiValidator.h"

#include "platform/Ansi.h"

#include <QLineEdit>

namespace pelloway {

AnsiValidator::AnsiValidator(QObject* parent) : QValidator(parent) {}

bool AnsiValidator::Fits(const QString& text)
{
    for (const QChar c : text) {
        if (c == u'\0' || c == u'\r' || c == u'\n')
            return false;
    }
    return CanEncodeAnsi(text);
}

QValidator::State AnsiValidator::validate(QString& input, int&) const
{
    return Fits(input) ? Acceptable : Invalid;
}

void RestrictToAnsi(QLineEdit* box)
{
    box->setValidator(new AnsiValidator(box));
}

} // namespace pelloway
