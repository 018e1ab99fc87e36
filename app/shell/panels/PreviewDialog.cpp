#include "shell/panels/PreviewDialog.h"

#include <sys/stat.h>

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

#include "platform/DriveMap.h"
#include "run/ProgressEstimate.h"

namespace quillmere {

namespace {

QString stepWord(PlanStep::Kind kind) {
  switch (kind) {
    case PlanStep::Kind::Move:
      return QString::fromUtf8("移動");
    case PlanStep::Kind::Copy:
      return QString::fromUtf8("コピー");
    case PlanStep::Kind::Trash:
      return QString::fromUtf8("ごみ箱へ");
    case PlanStep::Kind::Delete:
      return QString::fromUtf8("完全削除");
    case PlanStep::Kind::FolderMade:
      return QString::fromUtf8("フォルダ作成");
    case PlanStep::Kind::FolderGone:
      return QString::fromUtf8("フォルダ削除");
  }
  return {};
}

// A path text as the person knows it: the native path.
QString nativeText(const std::string& pathText) {
  if (pathText.empty()) return {};
  const auto native = platform::nativePathOf(pathText);
  return QString::fromStdString(native ? *native : pathText);
}

// The last-write time of a step's source in nanoseconds; -1 when there is none.
std::int64_t sourceTime(const PlanStep& step) {
  if (step.from.empty()) return -1;
  const auto native = platform::nativePathOf(step.from);
  struct stat st {};
  if (!native || ::lstat(native->c_str(), &st) != 0) return -1;
  return static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
}

bool sameSteps(const RunPlan& a, const RunPlan& b) {
  const auto& x = a.steps();
  const auto& y = b.steps();
  if (x.size() != y.size()) return false;
  for (std::size_t i = 0; i < x.size(); ++i)
    if (x[i].kind != y[i].kind || x[i].from != y[i].from || x[i].to != y[i].to ||
        x[i].size != y[i].size)
      return false;
  return true;
}

}  // namespace

bool PreviewDialog::Snapshot::sameAs(const Snapshot& other) const {
  return sameSteps(plan, other.plan) && sourceTimes == other.sourceTimes;
}

PreviewDialog::PreviewDialog(PlanMaker makePlan, const QString& title, QWidget* parent)
    : QDialog(parent), m_makePlan(std::move(makePlan)) {
  setObjectName("Preview");
  setWindowTitle(QString::fromUtf8("プレビュー ") + title);
  m_counts = new QLabel(this);
  m_counts->setObjectName("PlanCounts");
  m_counts->setWordWrap(true);
  m_warning = new QLabel(this);
  m_warning->setObjectName("PlanChanged");
  m_warning->setWordWrap(true);
  QPalette warning = m_warning->palette();
  warning.setColor(QPalette::WindowText, Qt::red);
  m_warning->setPalette(warning);
  m_warning->hide();

  m_model = new QStandardItemModel(0, 4, this);
  m_model->setHorizontalHeaderLabels({QString::fromUtf8("処理"), QString::fromUtf8("元"),
                                      QString::fromUtf8("先"), QString::fromUtf8("サイズ")});
  m_sorted = new QSortFilterProxyModel(this);
  m_sorted->setSourceModel(m_model);
  m_table = new QTableView(this);
  m_table->setObjectName("PlanTable");
  m_table->setModel(m_sorted);
  m_table->setSortingEnabled(true);
  m_table->sortByColumn(-1, Qt::AscendingOrder);  // the run's own order until a header is clicked
  m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_table->verticalHeader()->hide();
  // The two paths share the width; long ones lose their middle, so the file names stay in view.
  QHeaderView* header = m_table->horizontalHeader();
  header->setSectionResizeMode(QHeaderView::ResizeToContents);
  header->setSectionResizeMode(1, QHeaderView::Stretch);
  header->setSectionResizeMode(2, QHeaderView::Stretch);
  m_table->setTextElideMode(Qt::ElideMiddle);
  m_table->setWordWrap(false);

  auto* buttons = new QDialogButtonBox(this);
  m_run = buttons->addButton(QString::fromUtf8("実行"), QDialogButtonBox::AcceptRole);
  m_run->setObjectName("PreviewRun");
  m_run->setToolTip(QString::fromUtf8("表示した内容を実行します。"));
  QPushButton* close =
      buttons->addButton(QString::fromUtf8("閉じる"), QDialogButtonBox::RejectRole);
  close->setObjectName("PreviewClose");
  connect(m_run, &QPushButton::clicked, this, &PreviewDialog::confirm);
  connect(close, &QPushButton::clicked, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_counts);
  layout->addWidget(m_warning);
  layout->addWidget(m_table, 1);
  layout->addWidget(buttons);
  resize(760, 420);
}

QString PreviewDialog::countsText(const RunPlan& plan) {
  const PlanSummary s = plan.summary();
  QStringList parts;
  const std::pair<PlanStep::Kind, std::int64_t> counts[] = {
      {PlanStep::Kind::Move, s.moves},
      {PlanStep::Kind::Copy, s.copies},
      {PlanStep::Kind::Trash, s.trashed},
      {PlanStep::Kind::Delete, s.deleted},
      {PlanStep::Kind::FolderMade, s.foldersMade},
      {PlanStep::Kind::FolderGone, s.foldersGone}};
  for (const auto& [kind, count] : counts)
    if (count > 0) parts << stepWord(kind) + " " + QString::number(count);
  if (parts.isEmpty()) parts << QString::fromUtf8("処理するファイルはありません");
  QString text = parts.join(QString::fromUtf8("　")) + QString::fromUtf8("　合計 ");
  if (s.bytes < 1024)
    text += QString::fromUtf8("%1 バイト").arg(s.bytes);
  else
    text += QString::fromStdString(byteText(static_cast<double>(s.bytes))) +
            QString::fromUtf8("（%L1 バイト）").arg(s.bytes);
  if (!plan.note().empty()) text += "\n" + QString::fromStdString(plan.note());
  return text;
}

bool PreviewDialog::takeSnapshot(Snapshot& into) {
  const RunOutcome outcome = m_makePlan(into.plan);
  if (outcome.refused || outcome.failed) {
    m_counts->setText(
        QString::fromStdString(outcome.message.empty() ? "実行できません。" : outcome.message));
    m_model->removeRows(0, m_model->rowCount());
    m_run->setEnabled(false);
    return false;
  }
  for (const PlanStep& step : into.plan.steps()) into.sourceTimes.push_back(sourceTime(step));
  return true;
}

bool PreviewDialog::showPlan() {
  Snapshot now;
  if (!takeSnapshot(now)) return false;
  m_plan = std::move(now.plan);
  m_sourceTimes = std::move(now.sourceTimes);
  m_counts->setText(countsText(m_plan));
  m_run->setEnabled(true);
  fillTable();
  return true;
}

void PreviewDialog::fillTable() {
  m_model->removeRows(0, m_model->rowCount());
  int order = 0;
  for (const PlanStep& step : m_plan.steps()) {
    QList<QStandardItem*> row;
    auto* word = new QStandardItem(stepWord(step.kind));
    word->setData(order++, Qt::UserRole);
    row << word;
    for (const std::string* path : {&step.from, &step.to}) {
      auto* item = new QStandardItem(nativeText(*path));
      item->setToolTip(item->text());
      row << item;
    }
    auto* size = new QStandardItem;
    // A number, so that the column sorts by size, not by text.
    if (step.kind != PlanStep::Kind::FolderMade && step.kind != PlanStep::Kind::FolderGone)
      size->setData(static_cast<qlonglong>(step.size), Qt::DisplayRole);
    size->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    row << size;
    m_model->appendRow(row);
  }
}

void PreviewDialog::confirm() {
  Snapshot now;
  if (!takeSnapshot(now)) return;
  const Snapshot shown{m_plan, m_sourceTimes};
  if (now.sameAs(shown)) {
    accept();
    return;
  }
  m_plan = std::move(now.plan);
  m_sourceTimes = std::move(now.sourceTimes);
  m_counts->setText(countsText(m_plan));
  fillTable();
  m_warning->setText(
      QString::fromUtf8("プレビューの後でファイルが変わりました（増えた、無くなった、または変更され"
                        "たファイルがあります）。"
                        "新しい内容を確かめて、もう一度「実行」を押してください。"));
  m_warning->show();
}

}  // namespace quillmere
