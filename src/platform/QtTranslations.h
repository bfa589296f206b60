#pragma once

namespace pelloway {

// Loads Qt's own translations for the desktop's language (as Qt reads it from LANG and its
// kin), so the standard buttons of boxes and dialogs read as the desktop does: はい and
// いいえ on a Japanese desktop. The program's own texts are not translated. Call once the
// application object exists; returns false when the language has no translation (English,
// or the translations are not installed), which leaves Qt's English texts.
bool InstallQtTranslations();

} // namespace pelloway
