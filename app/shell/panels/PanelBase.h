#pragma once

#include <QColor>
#include <QString>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "shell/panels/PanelWindow.h"
#include "shell/run/RunAction.h"

class QHBoxLayout;
class QLabel;
class QPushButton;

namespace quillmere {

class FolderSide;
class RunView;

// The colour of a colour number as the panels' tables give it (&HBBGGRR).
QColor panelColour(unsigned bgr);

// A UTF-8 text of the source as a Qt string.
inline QString utf8(const char* text) {
  return QString::fromUtf8(text);
}

// Gives a widget its control name and, when one is given, its tool tip.
template <typename W>
W* named(W* widget, const QString& name, const char* tip = nullptr) {
  widget->setObjectName(name);
  if (tip != nullptr) widget->setToolTip(utf8(tip));
  return widget;
}

// What every tool panel shares: its folder sides, the folder view / detail view toggle
// (SettingOpen / SettingClose), the Run and Cancel buttons, the progress labels, the loading
// flag, the completion step, and the run view through which its engine reaches the screen.
// A panel builds its own controls on top and names its engine.
class PanelBase : public PanelWindow {
  Q_OBJECT

 public:
  // section: the panel's settings section ("ReName"); empty for a panel that stores nothing.
  PanelBase(Panel panel, std::string section, QWidget* parent = nullptr);
  ~PanelBase() override;

  bool running() const override { return m_running; }
  bool loading() const { return m_loading; }

  // The completion step after a run that was not cancelled; the program installs its own.
  void setCompletionStep(std::function<void(std::string_view sectionWord)> step) {
    m_completion = std::move(step);
  }

 protected:
  // Sets the loading flag for the scope's length; the side handlers do nothing meanwhile.
  class Loading {
   public:
    explicit Loading(PanelBase& panel) : m_panel(panel), m_was(panel.m_loading) {
      panel.m_loading = true;
    }
    ~Loading() { m_panel.m_loading = m_was; }
    Loading(const Loading&) = delete;
    Loading& operator=(const Loading&) = delete;

   private:
    PanelBase& m_panel;
    bool m_was;
  };

  const std::string& section() const { return m_section; }

  // The panel's pieces, made once by the panel's constructor.
  FolderSide* makeSide(const QString& prefix, const QString& caption);
  // name: the button's control name ("Del" where a panel's run button is not called "Run").
  QPushButton* makeRunButton(const QString& caption, const QString& tip,
                             const QString& name = "Run");
  QPushButton* makeCancelButton();
  // The プレビュー button beside the run button: shows the plan of the runner's action of that
  // name ("ReName") in a PreviewDialog and, when its 実行 confirms the plan, starts the run
  // through the run button. Disabled, with a tool tip saying so, for an action without a
  // preview yet. Shown and hidden together with the run button.
  QPushButton* makePreviewButton(const std::string& actionName);
  QPushButton* previewButton() const { return m_preview; }
  // What the plan is made from: the settings file, which the panel keeps up to date as the
  // person edits (so the preview sees what the run would), and for a panel whose run takes a
  // folder it does not store, that folder.
  virtual run::RunRequest previewRequest() const;
  // The label with files and bytes done, rate and time left during a run ("Estimate").
  QLabel* makeEstimateLabel();
  QLabel* makeLabel(const QString& name, const QString& text = {});
  // The row of two sides with the buttons ToOut ("→") and ToIn ("←") between them; each button
  // calls copySide. Both buttons are kept by the panel (copyButtons).
  QHBoxLayout* makeSidePair(FolderSide* in, FolderSide* out);
  std::pair<QPushButton*, QPushButton*> copyButtons() const { return {m_toOut, m_toIn}; }
  // The progress row: the two counter labels, then Command, which takes the spare width.
  QHBoxLayout* makeProgressRow(const QString& firstCounter, const QString& secondCounter);
  // The progress row with the red disk-space label NoSpace after Command. trailing, when given,
  // follows NoSpace and takes the spare width instead of Command.
  QHBoxLayout* makeProgressRowWithNoSpace(const QString& firstCounter, const QString& secondCounter,
                                          QLabel* trailing = nullptr);
  QLabel* noSpace() const { return m_noSpace; }
  // The detail toggle: SettingOpen shows the detail frame in place of the folder view and the
  // Run button; SettingClose brings them back.
  void makeDetailToggle(QWidget* folderView, QWidget* detailFrame);
  QPushButton* settingOpen() const { return m_settingOpen; }
  // Back to the folder view, as SettingClose does.
  void closeDetails();
  QPushButton* settingClose() const { return m_settingClose; }
  // The completion check boxes ShutDown and WinShutDown of the panel's section.
  std::pair<QWidget*, QWidget*> makeCompletionBoxes();

  QPushButton* runButton() const { return m_run; }
  QPushButton* cancelButton() const { return m_cancel; }
  const std::vector<FolderSide*>& sides() const { return m_sides; }

  // Side events, called only while the loading flag is clear. The defaults keep the three
  // lists in step; a panel stores keys and follows its own rules in sideFolderChanged.
  virtual void sideFolderChanged(FolderSide& side);
  virtual void sideDropped(FolderSide& side, const std::string& item);
  // The key a side's folder is stored under ("ReName-InDir"), empty when it is not stored; a
  // side with a key gets the folder history behind its favourites drop-down.
  virtual std::string sideKey(const FolderSide& /*side*/) const { return {}; }
  // The width in characters of the favourites' display texts.
  virtual int favouritesWidth() const { return 40; }
  // A copy button: shows one side's folder on the other side (not while a run goes on).
  virtual void copySide(FolderSide& from, FolderSide& to);
  // Stores the side's folder as its key's current folder and fills the favourites drop-down.
  void fillFavourites(FolderSide& side);
  // Moves a side to a drive root, or back to its folder's drive when the drive cannot be read.
  void openDrive(FolderSide& side, const std::string& driveRoot);

  // Fills the detail frame from the settings file (SettingOpen).
  virtual void fillDetails() {}
  // The run's start (true) and end (false): the panel hides or restores its own controls.
  virtual void runStateChanged(bool /*running*/) {}

  // The view the panel's engine runs with. Clear the cancel flag with beginRun before the run
  // and call finishRun after it: the completion step runs unless the run was cancelled.
  RunView& runView();
  void beginRun();
  void finishRun();
  bool cancelled() const;

  // Lets the event loop run once.
  static void yield();

  // The value of a key of the panel's section.
  std::string readKey(const std::string& key, const std::string& fallback) const;
  void writeKey(const std::string& key, const std::string& value) const;

  void closeEvent(QCloseEvent* event) override;

 private:
  class View;
  friend class View;
  void setRunning(bool running);
  void openDetails();
  void takeDrops(FolderSide& side, const QStringList& items);
  void showPreview();
  void chooseFavourite(FolderSide& side, int position);

  std::string m_section;
  std::unique_ptr<View> m_view;
  std::function<void(std::string_view)> m_completion;
  std::vector<FolderSide*> m_sides;
  QPushButton* m_run = nullptr;
  QPushButton* m_cancel = nullptr;
  QPushButton* m_preview = nullptr;
  std::string m_previewAction;
  QPushButton* m_settingOpen = nullptr;
  QPushButton* m_toOut = nullptr;
  QPushButton* m_toIn = nullptr;
  QLabel* m_noSpace = nullptr;
  QPushButton* m_settingClose = nullptr;
  QWidget* m_folderView = nullptr;
  QWidget* m_detailFrame = nullptr;
  bool m_loading = false;
  bool m_running = false;
  bool m_detailsOpen = false;
};

}  // namespace quillmere
