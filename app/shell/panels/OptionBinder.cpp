#include "shell/panels/OptionBinder.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalBlocker>

namespace quillmere {

void OptionBinder::bindCheck(QAbstractButton* box, std::function<bool()> read,
                             std::function<void(bool)> write) {
  m_bindings.push_back({box, [box, read] { box->setChecked(read()); }});
  connect(box, &QAbstractButton::toggled, this, [this, write](bool on) {
    if (m_loading) return;
    write(on);
    written();
  });
}

void OptionBinder::bindOption(QRadioButton* button, std::function<bool()> read,
                              std::function<void()> choose) {
  // Buttons of one group are set without the group's exclusivity fighting the order of loading.
  m_bindings.push_back({button, [button, read] {
                          const bool chosen = read();
                          if (chosen || button->isChecked()) {
                            button->setAutoExclusive(false);
                            button->setChecked(chosen);
                            button->setAutoExclusive(true);
                          }
                        }});
  connect(button, &QRadioButton::toggled, this, [this, choose](bool on) {
    if (m_loading || !on) return;
    choose();
    written();
  });
}

void OptionBinder::bindList(QComboBox* list, std::function<int()> read,
                            std::function<void(int)> write, std::function<void()> fill) {
  m_bindings.push_back({list, [list, read, fill] {
                          if (fill) fill();
                          list->setCurrentIndex(read());
                        }});
  connect(list, &QComboBox::currentIndexChanged, this, [this, write](int position) {
    if (m_loading || position < 0) return;
    write(position);
    written();
  });
}

void OptionBinder::bindText(QLineEdit* box, std::function<std::string()> read,
                            std::function<void(const std::string&)> write) {
  m_bindings.push_back({box, [box, read] {
                          // The settings file keeps no surrounding blanks: a box that differs
                          // only by them (a blank being typed between two words) shows its key.
                          const QString text = QString::fromStdString(read());
                          if (box->text().trimmed() != text) box->setText(text);
                        }});
  connect(box, &QLineEdit::textChanged, this, [this, write](const QString& text) {
    if (m_loading) return;
    write(text.toStdString());
    written();
  });
}

void OptionBinder::load() {
  m_loading = true;
  for (const Binding& b : m_bindings) {
    const QSignalBlocker block(b.control);
    b.load();
  }
  m_loading = false;
  if (m_afterLoad) m_afterLoad();
}

void OptionBinder::written() {
  load();
}

}  // namespace quillmere
