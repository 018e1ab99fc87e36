#include "shell/card/CardNotice.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace quillmere::card {

CardNotice::CardNotice(const QString& cardName, std::function<void(bool)> answer, int seconds,
                       QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint),
      m_answer(std::move(answer)),
      m_remaining(seconds) {
  setObjectName("CardNotice");
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle("[Job]");
  m_text = new QLabel(this);
  m_text->setObjectName("CardText");
  m_run = new QPushButton(QString::fromUtf8("実行"), this);
  m_run->setObjectName("CardRun");
  m_run->setDefault(true);
  m_cancel = new QPushButton(QString::fromUtf8("中止"), this);
  m_cancel->setObjectName("CardCancel");
  connect(m_run, &QPushButton::clicked, this, [this] { finish(true); });
  connect(m_cancel, &QPushButton::clicked, this, [this] { finish(false); });
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(m_run);
  buttons->addWidget(m_cancel);
  auto* layout = new QVBoxLayout(this);
  auto* name = new QLabel(QString::fromUtf8("カードが挿入されました: ") + cardName, this);
  layout->addWidget(name);
  layout->addWidget(m_text);
  layout->addLayout(buttons);
  m_timer = new QTimer(this);
  m_timer->setInterval(1000);
  connect(m_timer, &QTimer::timeout, this, &CardNotice::tick);
  m_timer->start();
  showRemaining();
}

void CardNotice::showRemaining() {
  m_text->setText(QString::fromUtf8("%1 秒後にJobを実行します。").arg(m_remaining));
}

void CardNotice::tick() {
  if (--m_remaining <= 0) {
    finish(true);
    return;
  }
  showRemaining();
}

void CardNotice::finish(bool run) {
  m_timer->stop();
  if (auto answer = std::exchange(m_answer, nullptr)) answer(run);
  close();
}

void CardNotice::withdraw() {
  m_timer->stop();
  m_answer = nullptr;
  close();
}

}  // namespace quillmere::card
