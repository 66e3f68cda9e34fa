// The editor's main window: the file list, the seven tag fields, the "Lirva
// File(s)" button, the toolbar and the status bar.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "app/tagging_job.h"
#include "ui/about.h"
#include "ui/controls.h"
#include "ui/dialog.h"

class MainDialog : public AppWindowBase {
 public:
  MainDialog();
  ~MainDialog() override;

  void OnInitDialog() override;
  void OnDestroy() override;
  void UpdateControls() override;
  void OnCommand(WPARAM command, UINT code) override;
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  bool OnKeyDown(UINT key) override;

  // Reads the first selected file's tags into the fields and clears the changed
  // flags. `force` reloads even when that file is already shown.
  void LoadFieldsFromSelection(bool force);

  bool FieldChanged(int field) const { return changed_[field]; }
  // Puts the splash above the window once the window is shown.
  void RaiseSplash();
  // Appends a row unless the path is already listed (letter case ignored).
  bool AddRow(const std::string& path);
  // Appends a row for each path that no row has yet (letter case ignored); returns
  // how many were skipped as already present.
  size_t AddRows(const std::vector<std::string>& paths);

  // Rows of the file list.
  int RowCount() const;
  int SelectedCount() const;
  std::vector<std::string> SelectedPaths() const;
  std::string PathOfRow(int row) const;

 private:
  void Layout();
  int WidestLabel(const int* ids, int count) const;
  void AddFiles();
  void RemoveSelectedFiles();
  void PlaySelectedFile();
  void AddWebLinks(HMENU menu, UINT before);
  void ShowWebLinksMenu(POINT at);
  void LaunchOnSelection(const struct SiblingLauncher& launcher);
  void ClearFields();
  void SelectAll();
  void TagSelectedFiles(bool copyTitle);
  void UpdateChangedFlag(int field);
  void ShowNextNotice();
  void ShowContextMenu(POINT at);
  INT_PTR OnNotify(const NMHDR& header);
  void OnClose();
  INT_PTR OnCtlColorStatic(HDC dc, HWND control);
  void OnMenuSelect(UINT item, UINT flags);
  void OnNoticeTimer();
  INT_PTR ColourField(HDC dc, HWND control);
  void EnableCommand(int command, bool enabled);

  std::string loaded_[kFieldCount];
  bool changed_[kFieldCount] = {};
  std::string loadedPath_;  // the file whose tags the fields show
  Font buttonFont_;
  Brush changedBrush_;
  Toolbar toolbar_;
  HWND tooltip_ = nullptr;
  SplashState splash_;
  int notice_ = 0;
};

// A control's text, at most 259 characters.
std::string ControlText(HWND control);

// The control id of each field, in the fields' order.
extern const int kFieldControls[kFieldCount];
