#include "shell/panels/rename/frmReName.h"

#include <array>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "core/Main.h"
#include "core/UiHook.h"
#include "platform/DriveMap.h"
#include "platform/Text.h"
#include "rename/RenameEngine.h"
#include "rename/RenameJournal.h"
#include "rename/UndoEngine.h"
#include "shell/core/ShellState.h"
#include "shell/panels/FolderSide.h"
#include "shell/panels/OptionBinder.h"
#include "shell/panels/rename/RunProblems.h"
#include "shell/widgets/FolderWidgets.h"
#include "shell/widgets/InputChecks.h"

namespace quillmere {

using rename::CaseOption;
using rename::Mode;
using rename::NameFormat;
using rename::RenameSettings;

namespace {

constexpr unsigned kCopyColour = 0xFFFFC0;
constexpr unsigned kMoveColour = 0xFFC0FF;
constexpr unsigned kGrey = 0x808080;
constexpr unsigned kMakeButtonColour = 0xFF8080;
constexpr unsigned kDeleteButtonColour = 0x8080FF;
constexpr unsigned kMakeTextColour = 0xFFFFC0;
constexpr unsigned kDeleteTextColour = 0xC0C0FF;

void setBackground(QWidget* widget, const QColor& colour) {
  if (qobject_cast<QPushButton*>(widget) != nullptr) {
    // Styles paint buttons with their own gradient; a style sheet keeps the mode's colour.
    widget->setStyleSheet(QString("QPushButton { background-color: %1; border: 1px solid gray; "
                                  "border-radius: 3px; padding: 3px 12px; }")
                              .arg(colour.name()));
    return;
  }
  QPalette palette = widget->palette();
  palette.setColor(QPalette::Button, colour);
  palette.setColor(QPalette::Base, colour);
  widget->setAutoFillBackground(true);
  widget->setPalette(palette);
}

QComboBox* list(QWidget* parent, const char* name, const std::vector<std::string>& items,
                int rows) {
  auto* box = named(new QComboBox(parent), name);
  for (const std::string& item : items) box->addItem(QString::fromStdString(item));
  box->setMaxVisibleItems(rows);
  return box;
}

std::vector<std::string> numbers(int first, int last) {
  std::vector<std::string> items;
  for (int n = first; n <= last; ++n) items.push_back(std::to_string(n));
  return items;
}

QLabel* caption(QWidget* parent, const char* text) {
  return new QLabel(utf8(text), parent);
}

// The editor's text box and its two buttons, shown only while the editor is open.
template <typename E>
std::array<QWidget*, 3> editorParts(const E& editor) {
  return {editor.text, editor.go, editor.close};
}
}  // namespace

frmReName::frmReName(QWidget* parent) : PanelBase(Panel::ReName, rename::kSection, parent) {
  setWindowTitle(utf8("[リネーム]"));
  m_binder = new OptionBinder(this);
  buildFolderView();
  buildDetails();
  bindOptions();
}

frmReName::~frmReName() = default;

RenameSettings frmReName::settings() const {
  return RenameSettings(shell().iniPath, shell().programDrive);
}

bool frmReName::stayMode() const {
  return settings().mode() == Mode::Stay;
}

// ---- building -----------------------------------------------------------------------------

void frmReName::buildFolderView() {
  auto* folderView = new QWidget(this);
  folderView->setObjectName("FolderView");
  m_in = makeSide("In", utf8("オリジナル　ディレクトリ"));
  m_out = makeSide("Out", utf8("コピー先　ディレクトリ"));
  buildEditor(m_inEditor, m_in, "1", "OrjDirPath", "OrjGo", "CanselOrjDir", "Eject_In");
  buildEditor(m_outEditor, m_out, "2", "NewDirPath", "NewGo", "CanselNewDir", "Eject_Out");

  auto* sidesLayout = new QVBoxLayout(folderView);
  sidesLayout->setContentsMargins(0, 0, 0, 0);
  sidesLayout->addLayout(makeSidePair(m_in, m_out));

  m_details = named(new QGroupBox(utf8("詳細設定"), this), "SettingFrame");
  makeDetailToggle(folderView, m_details);
  makeRunButton("ReName", utf8("リネームを行います。"));
  makeCancelButton();
  connect(runButton(), &QPushButton::clicked, this, &frmReName::runRename);

  m_stay = named(new QRadioButton("ReName", this), "Stay_Mode");
  m_copy = named(new QRadioButton("Copy", this), "Copy_Mode");
  m_move = named(new QRadioButton("Move", this), "Move_Mode");
  m_nameSample = makeLabel("Moji_Date");
  m_extensionSample = makeLabel("KakuchoU");

  auto* controls = new QHBoxLayout;
  controls->setSpacing(6);
  controls->addWidget(m_stay);
  controls->addWidget(m_copy);
  controls->addWidget(m_move);
  controls->addSpacing(8);
  controls->addWidget(m_nameSample);
  controls->addWidget(m_extensionSample);
  controls->addStretch();
  controls->addWidget(settingOpen());
  controls->addWidget(settingClose());
  m_undo = named(new QPushButton(utf8("元に戻す"), this), "Undo",
                 "最後のリネームを取り消し、ファイルを元の名前と場所に戻します。");
  connect(m_undo, &QPushButton::clicked, this, &frmReName::undoLastRun);
  // The undo sits with the detail view's buttons, so the folder view's row keeps room for the
  // name sample.
  m_undo->hide();
  connect(settingOpen(), &QPushButton::clicked, m_undo, &QWidget::show);
  connect(settingClose(), &QPushButton::clicked, m_undo, &QWidget::hide);
  controls->addWidget(m_undo);
  controls->addWidget(makePreviewButton("ReName"));
  controls->addWidget(runButton());
  controls->addWidget(cancelButton());

  QHBoxLayout* progress = makeProgressRowWithNoSpace("FileMax", "FileNo");

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->setSpacing(3);
  layout->addWidget(folderView, 1);
  layout->addWidget(m_details, 1);
  layout->addLayout(controls);
  layout->addLayout(progress);
}

void frmReName::buildEditor(Editor& editor, FolderSide* side, const QString& number,
                            const QString& textName, const QString& goName,
                            const QString& closeName, const QString& ejectName) {
  editor.side = side;
  editor.make = new QPushButton("MkDir", this);
  editor.make->setObjectName("MakeDir" + number);
  editor.make->setToolTip(utf8("現在開いているディレクトリの下にサブディレクトリを作成します。"));
  editor.remove = new QPushButton("RmDir", this);
  editor.remove->setObjectName("RmDir" + number);
  editor.eject = new QPushButton("Eject", this);
  editor.eject->setObjectName(ejectName);
  editor.eject->setToolTip(utf8("ディスクをイジェクトできます。"));
  editor.text = new QLineEdit(this);
  editor.text->setObjectName(textName);
  editor.go = new QPushButton("Make", this);
  editor.go->setObjectName(goName);
  editor.go->setToolTip(utf8("作成 or 削除します。"));
  editor.close = new QPushButton("Cansel", this);
  editor.close->setObjectName(closeName);
  editor.close->setToolTip(utf8("中止します。"));
  for (QWidget* w : editorParts(editor)) w->hide();
  QHBoxLayout* row = side->buttonRow();
  row->addWidget(editor.make);
  row->addWidget(editor.remove);
  row->addWidget(editor.eject);
  row->addWidget(editor.text, 1);
  row->addWidget(editor.go);
  row->addWidget(editor.close);
  row->addStretch();
  connect(editor.make, &QPushButton::clicked, this, [this, &editor] { openEditor(editor, false); });
  connect(editor.remove, &QPushButton::clicked, this,
          [this, &editor] { openEditor(editor, true); });
  connect(editor.go, &QPushButton::clicked, this, [this, &editor] { carryOutEditor(editor); });
  connect(editor.text, &QLineEdit::returnPressed, this,
          [this, &editor] { carryOutEditor(editor); });
  connect(editor.close, &QPushButton::clicked, this, [this, &editor] { closeEditor(editor); });
  connect(editor.eject, &QPushButton::clicked, this, [this, &editor] { eject(editor); });
}

void frmReName::buildDetails() {
  QGroupBox* d = m_details;
  // Name format, numbering and the samples.
  auto* format = named(new QGroupBox(utf8("ファイル名"), d), "FileNameFormat");
  auto* byDate = named(new QRadioButton("TimeStamp", format), "FileNameFormat_Date");
  auto* byNumber = named(new QRadioButton(utf8("連番"), format), "FileNameFormat_No");
  auto* byName = named(new QRadioButton("Orj", format), "FileNameFormat_Not");
  auto* numberCombo = list(format, "Namber", rename::numberItems(), 10);
  auto* startNo = named(new QLineEdit(format), "StartNo");
  startNo->setMaxLength(9);
  auto* autoIncrement = named(new QCheckBox(utf8("自動更新"), format), "AutoIncrement");
  auto* formatLayout = new QGridLayout(format);
  formatLayout->setContentsMargins(4, 2, 4, 2);
  formatLayout->setVerticalSpacing(2);
  formatLayout->addWidget(byDate, 0, 0);
  formatLayout->addWidget(byNumber, 0, 1);
  formatLayout->addWidget(byName, 0, 2);
  formatLayout->addWidget(numberCombo, 1, 0);
  formatLayout->addWidget(startNo, 1, 1);
  formatLayout->addWidget(autoIncrement, 1, 2);
  auto* sample = new QHBoxLayout;
  sample->addWidget(makeLabel("FileNameLabel"));
  sample->addWidget(makeLabel("KakuchoU1"));
  sample->addStretch();
  formatLayout->addLayout(sample, 2, 0, 1, 3);

  auto* letters = named(new QGroupBox(utf8("大文字/小文字"), d), "Moji");
  auto* lettersLayout = new QHBoxLayout(letters);
  lettersLayout->setContentsMargins(4, 2, 4, 2);
  lettersLayout->addWidget(named(new QRadioButton(utf8("大文字"), letters), "MojiL"));
  lettersLayout->addWidget(named(new QRadioButton(utf8("小文字"), letters), "MojiS"));
  lettersLayout->addWidget(named(new QRadioButton("Orj", letters), "MojiNot"));

  auto* byteRow = new QHBoxLayout;
  byteRow->addWidget(caption(d, "Byte数"));
  byteRow->addWidget(list(d, "Byte", rename::byteItems(), 15));
  byteRow->addStretch();

  auto* attribute = named(new QCheckBox(utf8("読み取り属性変更"), d), "Attribute");
  auto* read = named(new QCheckBox(utf8("読み取り"), d), "Read");
  auto* attributeRow = new QHBoxLayout;
  attributeRow->addWidget(attribute);
  attributeRow->addWidget(read);
  attributeRow->addStretch();

  const auto [shutDown, winShutDown] = makeCompletionBoxes();
  shutDown->setParent(d);
  winShutDown->setParent(d);
  auto* completionRow = new QHBoxLayout;
  completionRow->addWidget(shutDown);
  completionRow->addWidget(winShutDown);
  completionRow->addStretch();

  // The card-import options, each off until chosen.
  auto* importRows = new QVBoxLayout;
  importRows->setSpacing(2);
  importRows->addWidget(named(new QCheckBox(utf8("動画・HEICの撮影日時も読む"), d), "MediaDate"));
  importRows->addWidget(named(new QCheckBox(utf8("取り込み済みをスキップ"), d), "SkipImported"));
  importRows->addWidget(named(new QCheckBox(utf8("関連ファイルも同名に"), d), "Sidecars"));

  auto* left = new QVBoxLayout;
  left->setSpacing(2);
  left->addWidget(format);
  left->addWidget(letters);
  left->addLayout(byteRow);
  left->addLayout(attributeRow);
  left->addLayout(importRows);
  left->addLayout(completionRow);
  left->addStretch();

  // Subfolders of the source and of the target.
  auto* in = named(new QGroupBox(utf8("オリジナル"), d), "in");
  auto* inLayout = new QHBoxLayout(in);
  inLayout->setContentsMargins(4, 2, 4, 2);
  inLayout->addWidget(named(new QCheckBox(utf8("サブディレクトリも対象"), in), "CheckSubDir"));
  inLayout->addWidget(named(new QCheckBox(utf8("空ディレクトリ自動削除"), in), "SubDirDel1"));
  auto* out = named(new QGroupBox(utf8("コピー先"), d), "out");
  auto* outLayout = new QHBoxLayout(out);
  outLayout->setContentsMargins(4, 2, 4, 2);
  outLayout->addWidget(named(new QCheckBox(utf8("サブディレクトリ作成"), out), "MakeSubDir"));
  outLayout->addWidget(named(new QCheckBox(utf8("空ディレクトリ自動削除"), out), "SubDirDel2"));

  // Time stamps: the shooting-date range, or a given moment.
  auto* stampRow = new QHBoxLayout;
  stampRow->addWidget(named(new QCheckBox(utf8("TimeStamp変更"), d), "TimeStamp"));
  stampRow->addWidget(named(new QCheckBox(utf8("TimeStamp指定"), d), "TimeStampChange"));
  stampRow->addStretch();
  const auto years = rename::yearItems();
  auto* rangeRow = new QHBoxLayout;
  rangeRow->addWidget(named(caption(d, "撮影年"), "YYYYLabel"));
  rangeRow->addWidget(list(d, "YYYYStart", years, 10));
  rangeRow->addWidget(named(caption(d, "～"), "YYYYLabel1"));
  rangeRow->addWidget(list(d, "YYYYEnd", years, 10));
  rangeRow->addStretch();

  auto* given = named(new QGroupBox(utf8("指定日時"), d), "TimeStamp1");
  auto* givenLayout = new QGridLayout(given);
  givenLayout->setContentsMargins(4, 2, 4, 2);
  givenLayout->setVerticalSpacing(2);
  givenLayout->addWidget(named(caption(given, "範囲"), "SetLabel"), 0, 0);
  givenLayout->addWidget(list(given, "YYYYStart_Set", years, 10), 0, 1);
  givenLayout->addWidget(named(caption(given, "～"), "SetLabel1"), 0, 2);
  givenLayout->addWidget(list(given, "YYYYEnd_Set", years, 10), 0, 3);
  givenLayout->addWidget(named(caption(given, "日付"), "DayLabel"), 1, 0);
  givenLayout->addWidget(list(given, "YYYYDay", {}, 10), 1, 1);
  givenLayout->addWidget(list(given, "MMDay", numbers(1, 12), 12), 1, 2);
  givenLayout->addWidget(list(given, "DDDay", {}, 31), 1, 3);
  givenLayout->addWidget(named(caption(given, "時刻"), "TimeLabel"), 2, 0);
  givenLayout->addWidget(list(given, "HHTime", numbers(0, 23), 24), 2, 1);
  givenLayout->addWidget(list(given, "MMTime", numbers(0, 59), 20), 2, 2);
  givenLayout->addWidget(list(given, "SSTime", numbers(0, 59), 20), 2, 3);

  auto* right = new QVBoxLayout;
  right->setSpacing(2);
  right->addWidget(in);
  right->addWidget(out);
  right->addLayout(stampRow);
  right->addLayout(rangeRow);
  right->addWidget(given);
  right->addStretch();

  auto* layout = new QHBoxLayout(d);
  layout->setContentsMargins(4, 2, 4, 2);
  layout->addLayout(left, 1);
  layout->addLayout(right, 1);
}

// ---- options ------------------------------------------------------------------------------

void frmReName::bindOptions() {
  OptionBinder& b = *m_binder;
  auto child = [this](auto* type, const char* name) {
    return findChild<std::remove_pointer_t<decltype(type)>*>(name);
  };
  auto check = [&](const char* name, const std::string& key) {
    b.bindCheck(
        child((QCheckBox*)nullptr, name), [this, key] { return settings().check(key); },
        [this, key](bool on) { settings().setCheck(key, on); });
  };
  auto position = [&](const char* name, const std::string& key) {
    b.bindList(
        child((QComboBox*)nullptr, name), [this, key] { return settings().number(key); },
        [this, key](int p) { settings().setListPosition(key, p); });
  };
  auto year = [&](const char* name, const std::string& key) {
    b.bindList(
        child((QComboBox*)nullptr, name), [this, key] { return settings().number(key) - 1900; },
        [this, key](int p) { settings().setYear(key, p + 1900); });
  };

  const std::pair<QRadioButton*, Mode> modes[] = {
      {m_copy, Mode::Copy}, {m_stay, Mode::Stay}, {m_move, Mode::Move}};
  for (const auto& [button, mode] : modes) {
    const Mode m = mode;
    b.bindOption(
        button, [this, m] { return settings().mode() == m; },
        [this, m] {
          settings().chooseMode(m);
          arrangeTargetSide();
        });
  }
  const std::pair<const char*, CaseOption> cases[] = {
      {"MojiL", CaseOption::Upper}, {"MojiS", CaseOption::Lower}, {"MojiNot", CaseOption::AsBuilt}};
  for (const auto& [name, option] : cases) {
    const CaseOption c = option;
    b.bindOption(
        child((QRadioButton*)nullptr, name), [this, c] { return settings().caseOption() == c; },
        [this, c] { settings().chooseCase(c); });
  }
  const std::pair<const char*, NameFormat> formats[] = {{"FileNameFormat_Date", NameFormat::Date},
                                                        {"FileNameFormat_No", NameFormat::Number},
                                                        {"FileNameFormat_Not", NameFormat::Name}};
  for (const auto& [name, option] : formats) {
    const NameFormat f = option;
    b.bindOption(
        child((QRadioButton*)nullptr, name), [this, f] { return settings().format() == f; },
        [this, f] { settings().chooseFormat(f); });
  }

  auto* startNo = child((QLineEdit*)nullptr, "StartNo");
  b.bindText(
      startNo, [this] { return settings().text("ReName-StartNo"); },
      [this, startNo](const std::string& text) {
        // A cleaned text arrives again through the box's own change.
        if (checkNumberBox(*startNo, 0, 999999999, 9, 0)) return;
        settings().setStartNo(text);
      });
  position("Namber", "ReName-Namber");
  check("AutoIncrement", "ReName-AutoIncrement");
  b.bindCheck(
      child((QCheckBox*)nullptr, "CheckSubDir"),
      [this] { return settings().check("ReName-LookSubDir"); },
      [this](bool on) { settings().setLookSubDir(on); });
  b.bindCheck(
      child((QCheckBox*)nullptr, "SubDirDel1"),
      [this] { return settings().check("ReName-SubDirDel1"); },
      [this](bool on) { settings().setSubDirDel1(on); });
  check("MakeSubDir", "ReName-MakeSubDir");
  check("SubDirDel2", "ReName-SubDirDel2");
  check("TimeStamp", "ReName-TimeStamp");
  check("TimeStampChange", "ReName-TimeStampChange");
  check("MediaDate", "ReName-MediaDate");
  check("SkipImported", "ReName-SkipImported");
  check("Sidecars", "ReName-Sidecars");
  year("YYYYStart", "ReName-YYYYStart");
  year("YYYYEnd", "ReName-YYYYEnd");
  year("YYYYStart_Set", "ReName-YYYYStart_Set");
  year("YYYYEnd_Set", "ReName-YYYYEnd_Set");

  auto* dayYear = child((QComboBox*)nullptr, "YYYYDay");
  b.bindList(
      dayYear,
      [this] {
        const RenameSettings s = settings();
        return s.number("ReName-YYYYDay") - s.number("ReName-YYYYStart_Set");
      },
      [this](int p) {
        const RenameSettings s = settings();
        s.setYear("ReName-YYYYDay", s.number("ReName-YYYYStart_Set") + p);
      },
      [this, dayYear] {
        const RenameSettings s = settings();
        dayYear->clear();
        for (int y = s.number("ReName-YYYYStart_Set"); y <= s.number("ReName-YYYYEnd_Set"); ++y)
          dayYear->addItem(QString::number(y));
      });
  position("MMDay", "ReName-MMDay");
  auto* day = child((QComboBox*)nullptr, "DDDay");
  b.bindList(
      day, [this] { return settings().number("ReName-DDDay"); },
      [this](int p) { settings().setListPosition("ReName-DDDay", p); },
      [this, day] {
        const RenameSettings s = settings();
        s.clampDay();
        day->clear();
        for (int d = 1; d <= s.dayCount(); ++d) day->addItem(QString::number(d));
      });
  position("HHTime", "ReName-HHTime");
  position("MMTime", "ReName-MMTime");
  position("SSTime", "ReName-SSTime");
  position("Byte", "ReName-File_Byte");
  check("Attribute", "ReName-Attribute");
  check("Read", "ReName-Read");
  check("ShutDown", "ReName-ShutDown");
  check("WinShutDown", "ReName-WinShutDown");
  b.setAfterLoad([this] { applyRules(); });
}

// The rules that tie the options together, applied from the settings file after every load
// and every change.
void frmReName::applyRules() {
  const RenameSettings s = settings();
  const bool stay = s.mode() == Mode::Stay;
  auto enable = [this](const char* name, bool on) {
    if (auto* w = findChild<QWidget*>(name)) w->setEnabled(on);
  };
  enable("out", !stay);
  enable("SubDirDel2", !stay);
  enable("MakeSubDir", !stay && s.check("ReName-LookSubDir"));

  const bool stamp = s.check("ReName-TimeStamp");
  const bool given = s.check("ReName-TimeStampChange");
  enable("TimeStampChange", stamp);
  for (const char* name : {"YYYYStart", "YYYYEnd", "YYYYLabel", "YYYYLabel1"})
    enable(name, stamp && !given);
  for (const char* name :
       {"TimeStamp1", "YYYYDay", "MMDay", "DDDay", "HHTime", "MMTime", "SSTime", "YYYYStart_Set",
        "YYYYEnd_Set", "SetLabel", "SetLabel1", "DayLabel", "TimeLabel"})
    enable(name, stamp && given);

  const bool numbered = s.format() == NameFormat::Number;
  for (const char* name : {"Namber", "StartNo", "AutoIncrement"})
    if (auto* w = findChild<QWidget*>(name)) w->setVisible(numbered);
  enable("Read", s.check("ReName-Attribute"));
  enable("WinShutDown", s.check("ReName-ShutDown"));

  const QString name = QString::fromStdString(s.nameSample());
  const QString extension = QString::fromStdString(s.extensionSample());
  m_nameSample->setText(name);
  m_extensionSample->setText(extension);
  findChild<QLabel*>("FileNameLabel")->setText(name);
  findChild<QLabel*>("KakuchoU1")->setText(extension);
}

// The mode rule of the target side: Copy and Move show the stored target, Stay shows the
// source folder on a grey, disabled side.
void frmReName::arrangeTargetSide() {
  const RenameSettings s = settings();
  const Mode mode = s.mode();
  const bool stay = mode == Mode::Stay;
  runButton()->setText(stay ? "ReName" : mode == Mode::Copy ? "Copy" : "Move");
  setBackground(runButton(), panelColour(mode == Mode::Copy ? kCopyColour : kMoveColour));
  copyButtons().second->setEnabled(!stay);
  copyButtons().first->setEnabled(!stay);
  if (stay) {
    m_out->showFolder(m_in->folder());
    m_out->setListsEnabled(false, panelColour(kGrey));
    closeEditor(m_outEditor);
    for (QWidget* w : {m_outEditor.make, m_outEditor.remove, m_outEditor.eject}) w->hide();
  } else {
    std::string stored = s.outDir();
    m_out->showFolder(dll().DLL_DirCheck(stored));
    m_out->setListsEnabled(true, panelColour(mode == Mode::Copy ? kCopyColour : kMoveColour));
    fillFavourites(*m_out);
    showSideButtons(m_outEditor);
  }
}

// ---- load ---------------------------------------------------------------------------------

void frmReName::load() {
  {
    const Loading loading(*this);
    const RenameSettings s = settings();
    s.normaliseOnLoad();
    std::string in = s.inDir();
    m_in->showFolder(dll().DLL_DirCheck(in));
    fillFavourites(*m_in);
    if (s.mode() == Mode::Stay) s.setInDir(m_in->folder());
    arrangeTargetSide();
    showSideButtons(m_inEditor);
    m_binder->load();
    for (FolderSide* side : sides()) side->refresh();
    for (const char* label : {"FileMax", "FileNo", "Command"}) findChild<QLabel*>(label)->clear();
    m_inEditor.go->setDefault(false);
    m_outEditor.go->setDefault(false);
    for (FolderSide* side : sides()) {
      side->favourites()->setMaxVisibleItems(14);
      side->drives()->setMaxVisibleItems(26);
    }
  }
  yield();
}

void frmReName::Path() {
  const Loading loading(*this);
  const RenameSettings s = settings();
  std::string in = s.inDir();
  m_in->showFolder(dll().DLL_DirCheck(in));
  arrangeTargetSide();
  showSideButtons(m_inEditor);
}

void frmReName::fillDetails() {
  m_binder->load();
}

// ---- sides --------------------------------------------------------------------------------

std::string frmReName::sideKey(const FolderSide& side) const {
  return &side == m_in ? "ReName-InDir" : "ReName-OutDir";
}

frmReName::Editor& frmReName::editorOf(const FolderSide& side) {
  return &side == m_in ? m_inEditor : m_outEditor;
}

void frmReName::sideFolderChanged(FolderSide& side) {
  const RenameSettings s = settings();
  if (&side == m_in) {
    s.setInDir(side.folder());
    // In Stay mode the target is the source: its lists and key follow.
    if (s.mode() == Mode::Stay) m_out->showFolder(side.folder());
  } else {
    if (s.mode() == Mode::Stay) return;
    s.setOutDir(side.folder());
  }
  fillFavourites(side);
  showSideButtons(editorOf(side));
}

void frmReName::sideDropped(FolderSide& side, const std::string& item) {
  if (&side == m_out) {
    if (stayMode()) return;
    // The write test: a freshly named probe file inside the dropped item's folder, no file of
    // the user's touched.
    if (dll().DLL_CheckDisk(item) == 0) {
      const std::string folder = dll().DLL_DirName(item, 1);
      const std::string shown =
          dll().DLL_ReadWriteOK(folder) ? folder : dll().DLL_DiskName(shell().programDrive);
      if (m_out->showFolder(shown)) settings().setOutDir(m_out->folder());
    }
    if (m_out->showFolder(dll().DLL_DirName(item, 1))) sideFolderChanged(*m_out);
    return;
  }
  PanelBase::sideDropped(side, item);
}

void frmReName::copySide(FolderSide& from, FolderSide& to) {
  if (stayMode()) return;
  PanelBase::copySide(from, to);
}

// ---- folder editor ------------------------------------------------------------------------

void frmReName::showSideButtons(Editor& editor) {
  const bool hiddenSide = &editor == &m_outEditor && stayMode();
  const bool editing = editor.text->isVisible();
  const std::string folder = editor.side->folder();
  editor.make->setVisible(!hiddenSide && !editing);
  editor.remove->setVisible(!hiddenSide && !editing && dll().DLL_ReadWriteOK(folder));
  editor.eject->setVisible(!hiddenSide && !editing &&
                           dll().DLL_EjectOK(editor.side->drives()->drive()));
}

void frmReName::openEditor(Editor& editor, bool deleteMode) {
  editor.deleteMode = deleteMode;
  std::string folder = editor.side->folder();
  if (!deleteMode && (folder.empty() || folder.back() != '\\')) folder += "\\";
  editor.text->setText(QString::fromStdString(folder));
  editor.text->setCursorPosition(editor.text->text().size());
  editor.go->setText(deleteMode ? "Delete" : "Make");
  setBackground(editor.go, panelColour(deleteMode ? kDeleteButtonColour : kMakeButtonColour));
  setBackground(editor.text, panelColour(deleteMode ? kDeleteTextColour : kMakeTextColour));
  editor.go->setDefault(true);
  for (QWidget* w : {editor.make, editor.remove, editor.eject}) w->hide();
  for (QWidget* w : editorParts(editor)) w->show();
  editor.text->setFocus();
}

void frmReName::closeEditor(Editor& editor) {
  for (QWidget* w : editorParts(editor)) w->hide();
  editor.go->setDefault(false);
  showSideButtons(editor);
}

void frmReName::carryOutEditor(Editor& editor) {
  if (running()) return;
  const std::string typed = editor.text->text().trimmed().toStdString();
  if (editor.deleteMode) {
    deleteFolder(editor, typed);
  } else {
    makeFolder(editor, typed);
  }
  closeEditor(editor);
  for (FolderSide* side : sides()) side->refresh();
}

void frmReName::makeFolder(Editor& editor, const std::string& typed) {
  const std::string folder = dll().DLL_EnDelEnd(typed);
  if (folder.empty() || text::equalsNoCase(folder, dll().DLL_EnDelEnd(editor.side->folder())))
    return;
  const auto native = platform::nativePathOf(folder);
  if (!native || !QDir().mkpath(QString::fromStdString(*native))) {
    showMessage("ディレクトリを作成できません。\n" + folder, msgbox::kExclamation);
    return;
  }
  if (editor.side->showFolder(folder)) sideFolderChanged(*editor.side);
}

// An empty folder goes at once; a folder that still holds files goes to the trash, and only
// after the user has been told how many files it holds.
void frmReName::deleteFolder(Editor& editor, const std::string& typed) {
  const std::string folder = dll().DLL_EnDelEnd(typed);
  const auto native = platform::nativePathOf(folder);
  if (folder.empty() || !native || !QFileInfo(QString::fromStdString(*native)).isDir()) return;
  StringArray files;
  dll().DLL_FileNameList(folder, files, 1);
  const int count = dll().DLL_XBoundString(files, 1) ? files.count() : 0;
  bool removed = false;
  if (count == 0) {
    removed = dll().DLL_FileDelete(0, folder);
  } else {
    const std::string question = "「" + folder + "」には " + std::to_string(count) +
                                 " 個のファイルがあります。\nごみ箱に移しますか？";
    if (!confirm(question, "ディレクトリの削除")) return;
    removed = dll().DLL_FileDelete(0, folder, false, true);
  }
  if (!removed) showMessage("ディレクトリを削除できません。\n" + folder, msgbox::kExclamation);
  // The side goes to the nearest folder of its stored one that still exists.
  const RenameSettings s = settings();
  std::string stored = &editor == &m_inEditor ? s.inDir() : s.outDir();
  std::string existing = dll().DLL_DirCheck(stored);
  if (editor.side->showFolder(existing)) sideFolderChanged(*editor.side);
}

void frmReName::eject(Editor& editor) {
  if (running()) return;
  const std::string drive = editor.side->drives()->drive();
  dll().DLL_Eject(drive);
  const std::string fallback = dll().DLL_DiskCheck(shell().programDrive);
  FolderSide& other = editor.side == m_in ? *m_out : *m_in;
  const bool otherOnDrive =
      text::equalsNoCase(other.folder().substr(0, 2), drive.substr(0, 2)) && !(stayMode());
  if (editor.side->showFolder(fallback)) sideFolderChanged(*editor.side);
  if (otherOnDrive && other.showFolder(fallback)) sideFolderChanged(other);
  for (FolderSide* side : sides()) side->refresh();
}

// ---- run ----------------------------------------------------------------------------------

void frmReName::runStateChanged(bool isRunning) {
  for (QWidget* w : {static_cast<QWidget*>(m_nameSample), static_cast<QWidget*>(m_extensionSample)})
    w->setVisible(!isRunning);
  for (QWidget* w : std::initializer_list<QWidget*>{m_stay, m_copy, m_move, m_undo,
                                                    copyButtons().second, copyButtons().first})
    w->setEnabled(!isRunning);
  if (isRunning) {
    for (Editor* e : {&m_inEditor, &m_outEditor}) {
      closeEditor(*e);
      for (QWidget* w : {e->make, e->remove, e->eject}) w->hide();
    }
    return;
  }
  arrangeTargetSide();
  showSideButtons(m_inEditor);
}

void frmReName::runRename() {
  if (running()) return;
  noSpace()->clear();
  beginRun();
  const RenameSettings s = settings();
  rename::RenameEngine engine(s, runView());
  // The window's runs are kept like the runner's, so that 元に戻す can take them back.
  rename::RenameJournal journal(s.mode() == Mode::Copy);
  engine.keepJournal(journal);
  const rename::RunReport report = engine.run();
  m_binder->load();  // the run may have stored the next running number
  reportOutcome(report);
  if (journal.failed())
    showMessage("取り消し用の記録を書き込めませんでした。このリネームは元に戻せません。\n" +
                    rename::RenameJournal::defaultFolder(),
                msgbox::kExclamation);
  if (!cancelled()) runView().runCompleted(section());
}

void frmReName::reportOutcome(const rename::RunReport& report) {
  if (report.refused) {
    // The disk-space message stays a moment in NoSpace; the main timer clears it.
    if (report.refusal == rename::Refusal::NoSpace || shell().timerLoop > 0) {
      noSpace()->setText(QString::fromStdString(report.message));
    } else if (report.refusal == rename::Refusal::SystemRoot) {
      showMessage(
          "システムのルート　ディレクトリ（/）はリネームしません。\n"
          "写真のあるディレクトリを選んでください。\n" +
              settings().inDir(),
          msgbox::kExclamation);
    } else {
      showMessage("オリジナル　ディレクトリが見つかりません。\n" + settings().inDir(),
                  msgbox::kExclamation);
    }
    return;
  }
  const std::string problems = rename::problemListText(report.problems);
  if (!problems.empty()) showMessage(problems, msgbox::kExclamation);
}

void frmReName::undoLastRun() {
  if (running()) return;
  if (showMessage("最後のリネームを元に戻しますか？\nファイルは元の名前と場所に戻ります。",
                  msgbox::kYesNo | msgbox::kQuestion) != msgbox::kYes)
    return;
  const rename::UndoReport report = rename::undoLastRename();
  for (FolderSide* side : sides()) side->refresh();
  if (report.noJournal) {
    showMessage("元に戻せるリネームはありません。", msgbox::kInformation);
    return;
  }
  std::string text = std::to_string(report.restored) + " 個のファイルを元に戻しました。";
  if (!report.refused.empty()) {
    text += "\n\n実行後に変更された、または見つからないため、次のファイルはそのままです:";
    for (const std::string& line : report.refused) text += "\n" + line;
  }
  showMessage(text, report.refused.empty() ? msgbox::kInformation : msgbox::kExclamation);
}

}  // namespace quillmere
