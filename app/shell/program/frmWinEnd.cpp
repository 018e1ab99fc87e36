#include "frmWinEnd.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "core/Main.h"
#include "shell/window/WindowLayout.h"

namespace quillmere {

namespace {

constexpr double kWidthTwips = 4000;
constexpr double kHeightTwips = 2000;
constexpr double kClassicHeightCut = 118;

}  // namespace

frmWinEnd::frmWinEnd(QWidget* mainWindow, bool themedMetrics)
    : QWidget(mainWindow, Qt::Window),
      m_text(new QLabel(QString::fromUtf8("終了しますか？"), this)),
      m_timeMessage(new QLabel(this)),
      m_yes(new QPushButton(QString::fromUtf8("はい"), this)),
      m_no(new QPushButton(QString::fromUtf8("いいえ"), this)),
      m_timer(new QTimer(this)) {
  setObjectName("frmWinEnd");
  setWindowTitle(QString::fromUtf8("確認"));
  setAttribute(Qt::WA_DeleteOnClose);
  m_text->setObjectName("Text");
  m_timeMessage->setObjectName("TimeMessage");
  m_yes->setObjectName("Yes");
  m_no->setObjectName("No");
  m_timer->setObjectName("Timer1");

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(m_yes);
  buttons->addWidget(m_no);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_text);
  layout->addWidget(m_timeMessage);
  layout->addLayout(buttons);

  connect(m_yes, &QPushButton::clicked, this, &frmWinEnd::requestShutdown);
  connect(m_no, &QPushButton::clicked, this, &QWidget::close);
  connect(m_timer, &QTimer::timeout, this, &frmWinEnd::tick);

  placeOn(mainWindow, themedMetrics);
  m_marks.clear();
  m_timer->start(1000);
}

void frmWinEnd::placeOn(QWidget* mainWindow, bool themedMetrics) {
  const QScreen* screen =
      mainWindow != nullptr ? mainWindow->screen() : QApplication::primaryScreen();
  const layout::TwipScale twips(screen != nullptr ? screen->logicalDotsPerInch() : 96);
  const double heightTwips = kHeightTwips - (themedMetrics ? 0 : kClassicHeightCut);
  resize(twips.toPixels(kWidthTwips), twips.toPixels(heightTwips));
  if (mainWindow == nullptr) return;
  // Centred on the main window where it stands on the screen.
  const QRect main = mainWindow->geometry();
  move(main.x() + (main.width() - width()) / 2, main.y() + (main.height() - height()) / 2);
}

void frmWinEnd::tick() {
  const CountdownMarks::Tick step = m_marks.tick();
  if (step.secondsShown) {
    m_timeMessage->setText(QString::fromUtf8("自動終了まで ") +
                           QString::number(*step.secondsShown) + QString::fromUtf8(" 秒!!"));
    QApplication::processEvents();
  }
  if (step.requestShutdown) requestShutdown();
}

QString frmWinEnd::timeMessage() const {
  return m_timeMessage->text();
}

void frmWinEnd::requestShutdown() {
  dll().DLL_WinEnd();
}

}  // namespace quillmere
