#pragma once
// Keeps a text box to what the settings files can hold: characters of the ANSI code page
// (cp932) on one line. Typed, pasted and input-method text that breaks the rule is refused
// as a whole, so the box keeps what it held.

#include <QValidator>

class QLineEdit;

namespace pelloway {

class AnsiValidator : public QValidator
{
    Q_OBJECT
public:
    explicit AnsiValidator(QObject* parent = nullptr);

    State validate(QString& input, int& pos) const override;

    // True when the text fits a settings file line: cp932 characters, no NUL, CR or LF.
    static bool Fits(const QString& text);
};

// Puts an AnsiValidator (owned by the box) on a text box.
void RestrictToAnsi(QLineEdit* box);

} // namespace pelloway
