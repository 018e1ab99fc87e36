#pragma once

#include <QWidget>

#include <functional>

class QLabel;
class QPushButton;
class QTimer;

namespace quillmere::card {

// A small window that offers the job for an inserted card: "実行" runs it, "中止" leaves the
// card alone, and without an answer the job runs when the countdown ends. It does not block
// the program; it answers exactly once and then closes itself.
class CardNotice final : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kDefaultSeconds = 10;

  CardNotice(const QString& cardName, std::function<void(bool run)> answer,
             int seconds = kDefaultSeconds, QWidget* parent = nullptr);

  // Closes the window without an answer (the card went away).
  void withdraw();

 private:
  void tick();
  void finish(bool run);
  void showRemaining();

  std::function<void(bool)> m_answer;
  int m_remaining;
  QLabel* m_text = nullptr;
  QPushButton* m_run = nullptr;
  QPushButton* m_cancel = nullptr;
  QTimer* m_timer = nullptr;
};

}  // namespace quillmere::card
