#include "shell/widgets/InputChecks.h"

#include <QLineEdit>

namespace quillmere {

namespace {

QString boundText(double value) {
  return QString::number(value, 'g', 15);
}

bool isNameCharacter(QChar c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '-' || c == ' ';
}

}  // namespace

QString checkedNumberText(const QString& text, double minimum, double maximum, int maxLength,
                          int decimals) {
  QString out;
  bool pointSeen = false;
  int decimalsSeen = 0;
  for (int i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    if (c == '-' && i == 0) {
      out += c;
    } else if (c.isDigit() && c.unicode() < 128) {
      if (!pointSeen) {
        out += c;
      } else if (decimalsSeen < decimals) {
        out += c;
        ++decimalsSeen;
      }
    } else if (c == '.' && decimals > 0 && !pointSeen) {
      out += c;
      pointSeen = true;
    }
  }
  if (maxLength >= 0 && out.size() > maxLength) out.truncate(maxLength);
  bool isNumber = false;
  const double value = out.toDouble(&isNumber);
  if (isNumber && value > maximum) out = boundText(maximum);
  if (isNumber && value < minimum) out = boundText(minimum);
  return out;
}

QString checkedNameText(const QString& text, int maxLength) {
  QString t = text;
  if (t.startsWith('\\')) t.remove(0, 1);
  if (t.endsWith('.')) t.chop(1);
  QString out;
  for (QChar c : t)
    if (isNameCharacter(c)) out += c;
  if (maxLength >= 0 && out.size() > maxLength) out.truncate(maxLength);
  return out;
}

bool checkNumberBox(QLineEdit& box, double minimum, double maximum, int maxLength, int decimals) {
  const QString checked = checkedNumberText(box.text(), minimum, maximum, maxLength, decimals);
  if (checked == box.text()) return false;
  box.setText(checked);
  box.setCursorPosition(checked.size());
  box.setFocus();
  return true;
}

bool checkNameBox(QLineEdit& box, int maxLength) {
  const QString checked = checkedNameText(box.text(), maxLength);
  if (checked == box.text()) return false;
  box.setText(checked);
  box.setCursorPosition(checked.size());
  return true;
}

}  // namespace quillmere
