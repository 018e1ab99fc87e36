#pragma once

#include <QWidget>

class QLabel;

namespace quillmere {

// A small window with one label, Label1, and the caption "QuMere"; it has no logic of its own.
class frmMessage final : public QWidget {
  Q_OBJECT

 public:
  explicit frmMessage(QWidget* owner = nullptr);
  QLabel* label() const { return m_label; }
  void setText(const QString& text);
  // Shows the window centred on its owner (or where it stands without one).
  void showCentred();

 private:
  QLabel* m_label;
};

}  // namespace quillmere
