#pragma once

#include <QDialog>

#include <cstdint>
#include <functional>
#include <vector>

#include "run/RunOutcome.h"
#include "run/RunPlan.h"

class QLabel;
class QPushButton;
class QSortFilterProxyModel;
class QStandardItemModel;
class QTableView;

namespace quillmere {

// The plan of a run in a sortable table (step, from, to, size) with its counts and bytes above
// it, and the button 実行 that accepts the dialog only when the plan, made again at that moment,
// is still the one shown: a file more, gone or altered since (another step, size or last-write
// time) shows the new plan and asks again.
class PreviewDialog : public QDialog {
  Q_OBJECT

 public:
  // Makes the plan of the run as it would start now, without touching a file.
  using PlanMaker = std::function<RunOutcome(RunPlan& plan)>;

  PreviewDialog(PlanMaker makePlan, const QString& title, QWidget* parent = nullptr);

  // Makes the plan and shows it. False when the run would not start (the reason is shown and
  // 実行 is disabled).
  bool showPlan();
  // The plan shown, which the run about to start carries out.
  const RunPlan& plan() const { return m_plan; }

  // The counts line above the table ("移動 12 / コピー 3 … 合計 35.2 MB").
  static QString countsText(const RunPlan& plan);

 private:
  // The plan with the last-write time of every step's source, as made at one moment.
  struct Snapshot {
    RunPlan plan;
    std::vector<std::int64_t> sourceTimes;
    bool sameAs(const Snapshot& other) const;
  };
  bool takeSnapshot(Snapshot& into);
  void fillTable();
  void confirm();

  PlanMaker m_makePlan;
  RunPlan m_plan;
  std::vector<std::int64_t> m_sourceTimes;
  QLabel* m_counts = nullptr;
  QLabel* m_warning = nullptr;
  QStandardItemModel* m_model = nullptr;
  QSortFilterProxyModel* m_sorted = nullptr;
  QTableView* m_table = nullptr;
  QPushButton* m_run = nullptr;
};

}  // namespace quillmere
