#include "shell/panels/PanelWindow.h"

namespace quillmere {

PanelWindow::PanelWindow(Panel panel, QWidget* parent) : QWidget(parent), m_panel(panel) {
  setObjectName(panelFormName(panel));
  setWindowTitle(panelCaption(panel));
}

QString panelFormName(Panel panel) {
  return QString("frm") + panelWord(panel);
}

QString panelCaption(Panel panel) {
  switch (panel) {
    case Panel::ReName:
      return QString::fromUtf8("リネーム");
    case Panel::WFileDel:
      return QString::fromUtf8("重複ファイル削除");
    case Panel::BackUP:
      return QString::fromUtf8("バックアップ");
    case Panel::Mirroring:
      return QString::fromUtf8("ミラーリング");
    case Panel::FileBack:
      return QString::fromUtf8("ファイル書き戻し");
    case Panel::Recovery:
      return QString::fromUtf8("リカバリー");
    case Panel::Job:
      return "Job";
    case Panel::Version:
      return "Version";
  }
  return {};
}

}  // namespace quillmere
