#include "shell/widgets/frmMessage.h"

#include <QLabel>
#include <QVBoxLayout>

namespace quillmere {

frmMessage::frmMessage(QWidget* owner) : QWidget(owner, Qt::Dialog), m_label(new QLabel(this)) {
  setObjectName("frmMessage");
  setWindowTitle("QuMere");
  m_label->setObjectName("Label1");
  (new QVBoxLayout(this))->addWidget(m_label);
}

void frmMessage::setText(const QString& text) {
  m_label->setText(text);
  adjustSize();
}

void frmMessage::showCentred() {
  adjustSize();
  if (QWidget* owner = parentWidget()) move(owner->geometry().center() - rect().center());
  show();
}

}  // namespace quillmere
