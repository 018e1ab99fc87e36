#pragma once

#include <QObject>

#include <functional>
#include <string>
#include <vector>

class QAbstractButton;
class QComboBox;
class QLineEdit;
class QRadioButton;

namespace quillmere {

// Ties option controls to their settings keys. A control writes its key the moment the user
// changes it; after every write all bound controls are set again from their keys with their
// signals blocked, so linked options show what the file now holds and setting a control never
// writes back. The reading and writing are the panel's (its settings class knows the rules).
class OptionBinder final : public QObject {
  Q_OBJECT

 public:
  explicit OptionBinder(QObject* parent = nullptr) : QObject(parent) {}

  // A check box: read gives its state, write stores a new one.
  void bindCheck(QAbstractButton* box, std::function<bool()> read, std::function<void(bool)> write);
  // One member of an option group: read says whether it is the chosen one, choose stores it.
  void bindOption(QRadioButton* button, std::function<bool()> read, std::function<void()> choose);
  // A list: read gives the position to show, write stores a chosen position. Lists whose
  // items depend on other keys are filled by fill (called before read).
  void bindList(QComboBox* list, std::function<int()> read, std::function<void(int)> write,
                std::function<void()> fill = {});
  // A text box, written on every change of its text.
  void bindText(QLineEdit* box, std::function<std::string()> read,
                std::function<void(const std::string&)> write);

  // Sets every bound control from its key without writing; then calls the after-load hook.
  void load();
  // Called after every load: the panel's enabling rules and samples.
  void setAfterLoad(std::function<void()> hook) { m_afterLoad = std::move(hook); }

  bool loading() const { return m_loading; }

 private:
  void written();

  struct Binding {
    QObject* control;
    std::function<void()> load;
  };
  std::vector<Binding> m_bindings;
  std::function<void()> m_afterLoad;
  bool m_loading = false;
};

}  // namespace quillmere
