#pragma once

#include <QString>

class QLineEdit;

namespace quillmere {

// The text a number box keeps: a leading "-", digits, one "." followed by at most `decimals`
// digits; cut to maxLength; a value beyond the bounds becomes the bound.
QString checkedNumberText(const QString& text, double minimum, double maximum, int maxLength,
                          int decimals);

// The text a name box keeps: no leading "\" nor trailing "."; only a-z, A-Z, 0-9, "_", "-" and
// the blank; cut to maxLength.
QString checkedNameText(const QString& text, int maxLength);

// The checks applied to a text box: true when the text was changed; the caret then goes to the
// end (and a number box keeps the focus).
bool checkNumberBox(QLineEdit& box, double minimum, double maximum, int maxLength, int decimals);
bool checkNameBox(QLineEdit& box, int maxLength);

}  // namespace quillmere
