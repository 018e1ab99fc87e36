#include "shell/panels/mirror/frmMirrorring.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "core/Main.h"
#include "core/UiHook.h"
#include "mirror/MirrorPlan.h"
#include "platform/DriveMap.h"
#include "settings/ValueText.h"
#include "shell/core/ShellState.h"
#include "shell/panels/FolderSide.h"
#include "shell/widgets/FolderHistory.h"
#include "shell/widgets/FolderWidgets.h"

namespace quillmere {

using mirror::MirrorSettings;
namespace key = mirror::key;

namespace {

// Problems listed after a run; the rest are counted.
constexpr std::size_t kListedProblems = 20;

std::string indexed(const char* prefix, int j) {
  return prefix + std::to_string(j);
}

// Sets a radio button without its group's exclusivity interfering, so a group can show none.
void setOption(QRadioButton* button, bool chosen) {
  button->setAutoExclusive(false);
  button->setChecked(chosen);
  button->setAutoExclusive(true);
}

std::string nativeOrText(const std::string& pathText) {
  return platform::nativePathOf(pathText).value_or(pathText);
}

}  // namespace

frmMirrorring::frmMirrorring(QWidget* parent)
    : PanelBase(Panel::Mirroring, mirror::kSection, parent) {
  setWindowTitle(utf8("[ミラーリング]"));
  buildFolderView();
  buildDetails();
  connectOptions();
}

frmMirrorring::~frmMirrorring() = default;

MirrorSettings frmMirrorring::settings() const {
  return MirrorSettings(shell().iniPath, shell().programDrive);
}

bool frmMirrorring::check(const char* keyName, const char* fallback) const {
  return settings::flagOr(settings().get(keyName, fallback), false);
}

// ---- building -----------------------------------------------------------------------------

void frmMirrorring::buildFolderView() {
  auto* folderView = named(new QWidget(this), "FolderView");
  m_in = makeSide("In", utf8("マスターディレクトリ指定"));
  m_out = makeSide("Out", utf8("ミラーディレクトリ指定"));
  // A side picked from its history asks the window manager to re-read the folders.
  for (FolderSide* side : {m_in, m_out})
    connect(side, &FolderSide::favouriteChosen, this, [this] {
      if (!loading() && !running()) shell().state(Panel::Mirroring) = kPanelReread;
    });

  QHBoxLayout* sidesLayout = makeSidePair(m_in, m_out);
  m_runPlan = makeLabel("RunPlan");
  m_runPlan->setTextInteractionFlags(Qt::TextSelectableByMouse);
  auto* viewLayout = new QVBoxLayout(folderView);
  viewLayout->setContentsMargins(0, 0, 0, 0);
  viewLayout->setSpacing(2);
  viewLayout->addLayout(sidesLayout, 1);
  viewLayout->addWidget(m_runPlan);

  m_details = named(new QGroupBox(utf8("詳細設定"), this), "SettingFrame");
  makeDetailToggle(folderView, m_details);
  // Closing the detail view runs the load routine again.
  connect(settingClose(), &QPushButton::clicked, this, &frmMirrorring::load);
  makeRunButton(utf8("ミラーリング"), "ミラーリングを実行します。");
  runButton()->setObjectName("Mirrorring");
  makeCancelButton();
  connect(runButton(), &QPushButton::clicked, this, [this] { runMirroring(); });

  m_setting = named(new QComboBox(this), "Setting",
                    "設定名を入力してEnterで保存、Delete/BackSpaceで削除します。");
  m_setting->setEditable(true);
  m_setting->setInsertPolicy(QComboBox::NoInsert);
  m_setting->setMinimumWidth(200);
  m_setting->installEventFilter(this);
  m_setting->lineEdit()->installEventFilter(this);
  connect(m_setting, &QComboBox::activated, this, &frmMirrorring::selectSetting);

  auto* controls = new QHBoxLayout;
  controls->setSpacing(6);
  controls->addWidget(new QLabel(utf8("設定"), this));
  controls->addWidget(m_setting, 1);
  controls->addWidget(settingOpen());
  controls->addWidget(settingClose());
  controls->addWidget(makePreviewButton("Mirrorring"));
  controls->addWidget(runButton());
  controls->addWidget(cancelButton());

  QLabel* fileName = makeLabel("FileName");
  fileName->setMinimumWidth(1);
  QHBoxLayout* progress = makeProgressRowWithNoSpace("No", "MaxNo", fileName);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->setSpacing(3);
  layout->addWidget(folderView, 1);
  layout->addWidget(m_details, 1);
  layout->addLayout(controls);
  layout->addLayout(progress);
}

QGroupBox* frmMirrorring::buildPresets(QWidget* parent) {
  auto* box = named(new QGroupBox(utf8("プリセット"), parent), "OptionSelect");
  auto* layout = new QVBoxLayout(box);
  layout->setContentsMargins(4, 2, 4, 2);
  layout->setSpacing(0);
  const auto& table = mirror::presets();
  // Index 0 carries the caption of index 1 and sets nothing; it stands for "no preset".
  for (int i : {1, 2, 3, 4, 5, 6, 7, 8, 9, 0}) {
    auto* button = named(new QRadioButton(utf8(table[static_cast<std::size_t>(i)].caption), box),
                         QString("OptionSelect_%1").arg(i));
    m_presets[static_cast<std::size_t>(i)] = button;
    layout->addWidget(button);
    connect(button, &QRadioButton::clicked, this, [this, i] { choosePreset(i); });
  }
  return box;
}

QGroupBox* frmMirrorring::buildOptionGroup(QWidget* parent, OptionGroup& group, const char* name,
                                           const char* caption, const char* checkKey,
                                           const char* pairKey, const char* firstCaption,
                                           const char* secondCaption) {
  auto* box = named(new QGroupBox(parent), QString(name) + "Frame");
  group.check = named(new QCheckBox(utf8(caption), box), name);
  group.first = named(new QRadioButton(utf8(firstCaption), box), QString(name) + "1");
  group.second = named(new QRadioButton(utf8(secondCaption), box), QString(name) + "2");
  group.checkKey = checkKey;
  group.pairKey = pairKey;
  auto* layout = new QGridLayout(box);
  layout->setContentsMargins(4, 1, 4, 1);
  layout->setVerticalSpacing(0);
  layout->addWidget(group.check, 0, 0, 1, 2);
  layout->addWidget(group.first, 1, 0);
  layout->addWidget(group.second, 1, 1);
  return box;
}

QGroupBox* frmMirrorring::buildSchedule(QWidget* parent) {
  auto* box = named(new QGroupBox(utf8("タイマー"), parent), "TimerFrame");
  m_timer = named(new QCheckBox(utf8("タイマー稼動する"), box), "Timer");
  auto* grid = new QGridLayout(box);
  grid->setContentsMargins(4, 1, 4, 1);
  grid->setHorizontalSpacing(2);
  grid->setVerticalSpacing(0);
  grid->addWidget(m_timer, 0, 0, 1, 4);
  auto add = [&](std::vector<QCheckBox*>& boxes, const char* name, const QString& caption, int row,
                 int column) {
    auto* b = named(new QCheckBox(caption, box), QString("%1_%2").arg(name).arg(boxes.size()));
    boxes.push_back(b);
    grid->addWidget(b, row, column);
  };
  const char* days[] = {"日", "月", "火", "水", "木", "金", "土"};
  for (int j = 0; j < mirror::kWeekCount; ++j) add(m_week, "Week", utf8(days[j]), 0, 4 + j);
  for (int j = 0; j < mirror::kHourCount; ++j)
    add(m_hour, "Hour", QString::number(j) + utf8("時"), 1 + j / 12, j % 12);
  for (int j = 0; j < mirror::kMinuteCount; ++j)
    add(m_minute, "Minute", QString::number(j * 5) + utf8("分"), 3, j);
  return box;
}

void frmMirrorring::buildDetails() {
  QGroupBox* d = m_details;
  QGroupBox* presets = buildPresets(d);
  QGroupBox* master =
      buildOptionGroup(d, m_master, "Master", "マスター側　有り/ミラー側　無し", key::kMaster,
                       key::kMaster1, "マスター側から削除", "ミラー側へコピー");
  QGroupBox* mirrorSide =
      buildOptionGroup(d, m_mirror, "Mirror", "マスター側　無し/ミラー側　有り", key::kMirror,
                       key::kMirror1, "ミラー側から削除", "マスター側へコピー");
  QGroupBox* both =
      buildOptionGroup(d, m_binCheck, "BinCheck", "マスター側　有り/ミラー側　有り", key::kBinCheck,
                       key::kBinCheck1, "更新", "バイナリ-レベルでチェック");
  m_dustBox = named(new QCheckBox(utf8("ごみ箱経由"), d), "DustBox");
  m_clrDustBox = named(new QCheckBox(utf8("実行時にごみ箱を空にする"), d), "ClrDustBox");
  auto* subDirs = named(new QGroupBox(utf8("空ディレクトリ"), d), "SubDirFrame");
  m_subDirDel1 = named(new QCheckBox(utf8("マスター側削除"), subDirs), "SubDirDel1");
  m_subDirDel2 = named(new QCheckBox(utf8("ミラー側削除"), subDirs), "SubDirDel2");
  auto* subDirLayout = new QHBoxLayout(subDirs);
  subDirLayout->setContentsMargins(4, 1, 4, 1);
  subDirLayout->addWidget(m_subDirDel1);
  subDirLayout->addWidget(m_subDirDel2);
  const auto [shutDown, winShutDown] = makeCompletionBoxes();
  shutDown->setParent(d);
  winShutDown->setParent(d);
  m_shutDown = static_cast<QCheckBox*>(shutDown);
  m_winShutDown = static_cast<QCheckBox*>(winShutDown);

  auto* dustRow = new QHBoxLayout;
  dustRow->addWidget(m_dustBox);
  dustRow->addWidget(m_clrDustBox);
  dustRow->addStretch();
  auto* completionRow = new QHBoxLayout;
  completionRow->addWidget(m_shutDown);
  completionRow->addWidget(m_winShutDown);
  completionRow->addStretch();
  auto* right = new QVBoxLayout;
  right->setSpacing(1);
  right->addWidget(master);
  right->addWidget(mirrorSide);
  right->addWidget(both);
  right->addLayout(dustRow);
  right->addWidget(subDirs);
  right->addLayout(completionRow);
  right->addStretch();

  auto* top = new QHBoxLayout;
  top->addWidget(presets);
  top->addLayout(right, 1);
  auto* layout = new QVBoxLayout(d);
  layout->setContentsMargins(4, 2, 4, 2);
  layout->setSpacing(2);
  layout->addLayout(top);
  layout->addWidget(buildSchedule(d));
  layout->addStretch();
}

// ---- option handlers ----------------------------------------------------------------------

void frmMirrorring::onCheck(QCheckBox* box, const char* keyName) {
  connect(box, &QCheckBox::toggled, this, [this, keyName](bool on) {
    if (loading()) return;
    clearSettingText();
    settings().setCheck(keyName, on);
  });
}

void frmMirrorring::connectOptions() {
  for (auto [box, keyName] : {std::pair{m_dustBox, key::kDustBox},
                              {m_clrDustBox, key::kClrDustBox},
                              {m_subDirDel1, key::kSubDirDel1},
                              {m_subDirDel2, key::kSubDirDel2},
                              {m_timer, key::kTimer},
                              {m_shutDown, key::kShutDown},
                              {m_winShutDown, key::kWinShutDown}})
    onCheck(box, keyName);
  connect(m_dustBox, &QCheckBox::toggled, this, [this](bool on) {
    if (loading()) return;
    const Loading guard(*this);
    m_clrDustBox->setEnabled(on);
    m_clrDustBox->setChecked(check(key::kClrDustBox, "0"));
  });
  connect(m_shutDown, &QCheckBox::toggled, this, [this](bool on) {
    if (!loading()) m_winShutDown->setEnabled(on);
  });
  connect(m_timer, &QCheckBox::toggled, this, [this] {
    if (!loading()) enableSchedule();
  });

  for (OptionGroup* group : {&m_master, &m_mirror, &m_binCheck}) {
    const OptionGroup g = *group;
    // The check box switches its pair; every member of the group clears the preset.
    connect(g.check, &QCheckBox::toggled, this, [this, g](bool on) {
      if (loading()) return;
      clearSettingText();
      settings().setCheck(g.checkKey, on);
      g.first->setEnabled(on);
      g.second->setEnabled(on);
      switchPresetsOff();
    });
    for (QRadioButton* button : {g.first, g.second})
      connect(button, &QRadioButton::clicked, this, [this, g] {
        if (loading()) return;
        clearSettingText();
        settings().setOptionPair(g.pairKey, g.first->isChecked());
        switchPresetsOff();
      });
  }

  const std::pair<std::vector<QCheckBox*>*, int> arrays[] = {
      {&m_week, 0}, {&m_hour, 1}, {&m_minute, 2}};
  for (const auto& [boxes, which] : arrays)
    for (QCheckBox* box : *boxes)
      connect(box, &QCheckBox::toggled, this, [this, list = *boxes] {
        if (loading()) return;
        clearSettingText();
        writeSchedule(list);
      });
}

// A click on any box of a schedule array writes every key of that array.
void frmMirrorring::writeSchedule(const std::vector<QCheckBox*>& boxes) {
  const MirrorSettings s = settings();
  if (boxes == m_week) {
    std::array<bool, mirror::kWeekCount> days{};
    for (int j = 0; j < mirror::kWeekCount; ++j) days[j] = m_week[j]->isChecked();
    s.setWeek(days);
  } else if (boxes == m_hour) {
    std::array<bool, mirror::kHourCount> hours{};
    for (int j = 0; j < mirror::kHourCount; ++j) hours[j] = m_hour[j]->isChecked();
    s.setHours(hours);
  } else {
    std::array<bool, mirror::kMinuteCount> marks{};
    for (int j = 0; j < mirror::kMinuteCount; ++j) marks[j] = m_minute[j]->isChecked();
    s.setMinutes(marks);
  }
}

void frmMirrorring::switchPresetsOff() {
  for (int i = 1; i <= 9; ++i) setOption(m_presets[static_cast<std::size_t>(i)], false);
}

void frmMirrorring::clearSettingText() {
  m_setting->setEditText({});
}

void frmMirrorring::choosePreset(int index) {
  if (loading()) return;
  const Loading guard(*this);
  clearSettingText();
  settings().choosePreset(index);
  loadCleanupOptions();
  loadOptionGroups();
}

void frmMirrorring::enableSchedule() {
  const bool on = settings::numberOrZero(settings().get(key::kTimer, "0")) == 1;
  for (const auto* boxes : {&m_week, &m_hour, &m_minute})
    for (QCheckBox* box : *boxes) box->setEnabled(on);
}

// ---- filling from the settings file -------------------------------------------------------

void frmMirrorring::loadCleanupOptions() {
  m_dustBox->setChecked(check(key::kDustBox, "0"));
  m_clrDustBox->setEnabled(check(key::kDustBox, "0"));
  m_clrDustBox->setChecked(check(key::kClrDustBox, "0"));
  m_subDirDel1->setChecked(check(key::kSubDirDel1, "0"));
  m_subDirDel2->setChecked(check(key::kSubDirDel2, "0"));
}

void frmMirrorring::loadGroup(const OptionGroup& group) {
  const bool on = check(group.checkKey, "1");
  group.check->setChecked(on);
  group.first->setEnabled(on);
  group.second->setEnabled(on);
  const bool first = check(group.pairKey, "1");
  setOption(group.first, first);
  setOption(group.second, !first);
}

void frmMirrorring::loadOptionGroups() {
  for (const OptionGroup* g : {&m_master, &m_mirror, &m_binCheck}) loadGroup(*g);
}

void frmMirrorring::fillDetails() {
  loadCleanupOptions();
  const double stored = settings::numberOrZero(settings().get(key::kOptionSelect, "1"));
  for (int i = 0; i <= 9; ++i) setOption(m_presets[static_cast<std::size_t>(i)], stored == i);
  loadOptionGroups();
  m_timer->setChecked(check(key::kTimer, "0"));
  m_shutDown->setChecked(check(key::kShutDown, "0"));
  m_winShutDown->setChecked(check(key::kWinShutDown, "0"));
  m_winShutDown->setEnabled(check(key::kShutDown, "0"));
  const std::pair<const std::vector<QCheckBox*>*, const char*> arrays[] = {
      {&m_week, key::kWeek}, {&m_hour, key::kHour}, {&m_minute, key::kMinute}};
  for (const auto& [boxes, prefix] : arrays)
    for (std::size_t j = 0; j < boxes->size(); ++j)
      (*boxes)[j]->setChecked(check(indexed(prefix, static_cast<int>(j)).c_str(), "0"));
  enableSchedule();
}

void frmMirrorring::showFoldersFromKeys() {
  const MirrorSettings s = settings();
  std::string in = s.inDir();
  std::string out = s.outDir();
  m_in->showFolder(dll().DLL_DirCheck(in));
  m_out->showFolder(dll().DLL_DirCheck(out));
}

void frmMirrorring::fillSettingList(const mirror::SettingList& list) {
  const QSignalBlocker block(m_setting);
  m_setting->clear();
  for (const std::string& t : list.titles) m_setting->addItem(QString::fromStdString(t));
  m_setting->setCurrentIndex(-1);
  m_setting->setEditText(QString::fromStdString(list.text));
}

void frmMirrorring::load() {
  if (shell().state(Panel::Mirroring) == kPanelClosed || running()) return;
  {
    const Loading guard(*this);
    closeDetails();
    showFoldersFromKeys();
    const MirrorSettings s = settings();
    const FolderHistory masterHistory(shell().iniPath, mirror::kSection, key::kInDir,
                                      shell().programDrive);
    masterHistory.checkEntries();
    fillFavourites(*m_in);
    fillFavourites(*m_out);
    for (FolderSide* side : sides()) {
      side->favourites()->setMaxVisibleItems(14);
      side->drives()->setMaxVisibleItems(26);
    }
    m_setting->setMaxVisibleItems(std::max(1, s.settingCount("1")));
    fillSettingList({s.title(0), s.titles("0")});
    s.load();
    updateRunPlan();
  }
  yield();
}

void frmMirrorring::Path() {
  const Loading guard(*this);
  fillFavourites(*m_in);
  fillFavourites(*m_out);
}

// ---- folders ------------------------------------------------------------------------------

std::string frmMirrorring::sideKey(const FolderSide& side) const {
  return &side == m_in ? key::kInDir : key::kOutDir;
}

void frmMirrorring::sideFolderChanged(FolderSide& side) {
  settings().put(sideKey(side), side.folder());
  fillFavourites(side);
}

void frmMirrorring::sideDropped(FolderSide& side, const std::string& item) {
  if (dll().DLL_CheckDisk(item) != 0) return;
  if (!side.showFolder(dll().DLL_DirName(item, 1))) return;
  const MirrorSettings s = settings();
  s.put(&side == m_in ? key::kInDir0 : key::kOutDir0, side.folder());
  sideFolderChanged(side);
}

void frmMirrorring::copySide(FolderSide& from, FolderSide& to) {
  if (running()) return;
  PanelBase::copySide(from, to);
  shell().state(Panel::Mirroring) = kPanelReread;
}

// ---- saved settings -----------------------------------------------------------------------

void frmMirrorring::selectSetting(int listIndex) {
  if (shell().state(Panel::Mirroring) == kPanelClosed || running()) return;
  const MirrorSettings s = settings();
  const std::string title = s.select(listIndex);
  {
    const Loading guard(*this);
    showFoldersFromKeys();
    fillDetails();
    shell().state(Panel::Mirroring) = kPanelReread;
  }
  m_setting->setEditText(QString::fromStdString(title));
  updateRunPlan();
}

void frmMirrorring::saveSetting() {
  if (running()) return;
  const auto list = settings().save(m_setting->currentText().toStdString(),
                                    [](const std::string& q) { return confirm(q); });
  if (list) fillSettingList(*list);
}

bool frmMirrorring::deleteSetting() {
  if (running()) return false;
  const auto list =
      settings().remove(m_setting->currentText().toStdString(), m_setting->currentIndex(),
                        [](const std::string& q) { return confirm(q); });
  if (!list) return false;
  fillSettingList(*list);
  return true;
}

bool frmMirrorring::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress &&
      (watched == m_setting || watched == m_setting->lineEdit())) {
    const int k = static_cast<QKeyEvent*>(event)->key();
    // Enter saves; the combo box never sees it, since its own Enter would choose a row of the
    // same title and so load that row over the options about to be saved.
    if (k == Qt::Key_Return || k == Qt::Key_Enter) {
      saveSetting();
      return true;
    }
    // A deleted row replaces the text; any other answer lets the key edit the text.
    if ((k == Qt::Key_Delete || k == Qt::Key_Backspace) && deleteSetting()) return true;
  }
  return PanelBase::eventFilter(watched, event);
}

// ---- run ----------------------------------------------------------------------------------

// What the stored options will do, in the words the runner prints before a run.
void frmMirrorring::updateRunPlan() {
  const MirrorSettings s = settings();
  const std::string text = mirror::describeRun(mirror::readMirrorOptions(s),
                                               nativeOrText(s.inDir()), nativeOrText(s.outDir()));
  QStringList lines = QString::fromStdString(text).split('\n');
  m_runPlan->setToolTip(QString::fromStdString(text));
  // The first line names the two folders, which the sides show already; the rest takes two
  // short lines, as one would not fit the panel's width.
  if (lines.size() > 1) lines.removeFirst();
  m_runPlan->setText(lines.join('\n'));
}

void frmMirrorring::runStateChanged(bool isRunning) {
  m_setting->setVisible(!isRunning);
  copyButtons().second->setEnabled(!isRunning);
  copyButtons().first->setEnabled(!isRunning);
}

mirror::MirrorReport frmMirrorring::runMirroring() {
  if (running()) {
    mirror::MirrorReport busy;
    busy.outcome = mirror::MirrorOutcome::AlreadyRunning;
    return busy;
  }
  noSpace()->clear();
  updateRunPlan();
  beginRun();
  const MirrorSettings s = settings();
  mirror::MirrorEngine engine(s, runView());
  const mirror::MirrorReport report = engine.run();
  reportOutcome(report);
  return report;
}

void frmMirrorring::reportOutcome(const mirror::MirrorReport& report) {
  // The disk-space message stays in NoSpace for the main timer's ten ticks.
  std::string spaceText;
  if (report.mirrorSpaceRefused) spaceText = mirror::msg::kMirrorNoSpace;
  if (report.masterSpaceRefused)
    spaceText += (spaceText.empty() ? "" : "　") + std::string(mirror::msg::kMasterNoSpace);
  noSpace()->setText(QString::fromStdString(spaceText));
  if (report.outcome == mirror::MirrorOutcome::AlreadyRunning)
    showMessage("ミラーリングは実行中です。", msgbox::kExclamation);
  if (report.problems.empty()) return;
  std::string text = "処理できなかったファイルがあります。\n";
  for (std::size_t i = 0; i < report.problems.size() && i < kListedProblems; ++i)
    text += report.problems[i].path + " (" + report.problems[i].reason + ")\n";
  if (report.problems.size() > kListedProblems)
    text += "ほか " + std::to_string(report.problems.size() - kListedProblems) + " 件";
  showMessage(text, msgbox::kExclamation);
}

}  // namespace quillmere
