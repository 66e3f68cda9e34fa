// Small behaviours added to the standard controls of the dialogs: buttons that
// report press and release, the hover-tracked gradient button, hyperlink texts,
// bitmap and icon buttons for both common-controls generations, tooltips and a
// toolbar from tables, and list-view and combo-box filling. Each is applied to a
// control after its dialog was created, normally in OnInitDialog. The state a
// behaviour needs lives in the control itself (user slot or window properties)
// and is released when the control is destroyed.
#pragma once
#include <windows.h>

#include "common/win32/handles.h"

// ---- Press-and-hold buttons ---------------------------------------------------

// Notification codes a hold button sends to its parent in WM_COMMAND.
constexpr UINT kHoldPressed = 16;
constexpr UINT kHoldReleased = 17;

// A left-button press captures the mouse and sends kHoldPressed; the release (or
// the loss of the capture while pressed) sends kHoldReleased once.
void MakeHoldButton(HWND control);

// ---- Hover tracking and the gradient button -----------------------------------

// Entering a tracked control makes it the process-wide hot control and repaints
// the old and the new one; it stays hot until another tracked control is entered
// or ClearHotControl is called.
void TrackHover(HWND control);
HWND HotControl();
// For the owning window when the mouse moves over its own background: repaints
// the hot control (without erasing) and leaves none hot.
void ClearHotControl();

// Paints an owner-drawn push button: gradient face, frame, the hot outline, the
// button's icon and its text in `font`. Called on WM_DRAWITEM.
void DrawGradientButton(const DRAWITEMSTRUCT& item, HFONT font);

// ---- Hyperlink texts -------------------------------------------------------------

// Underlines the static control's font and makes a click open the link with the
// shell: the text of the "HLLink" property when there is one, else the caption.
void MakeHyperlink(HWND dialog, int controlId);

// ---- Bitmap and icon buttons --------------------------------------------------

// Whether comctl32 is version 6 or later: tested once and cached.
enum class ControlsGeneration { Unknown, Old, New };
bool NewCommonControls();
// Tests use this to try both generations; Unknown makes the next call test again.
void ForceControlsGeneration(ControlsGeneration generation);

// Gives the button the bitmap resource: an image list with RGB(192,192,192) as the
// transparent colour on new common controls, a plain bitmap (with 3-D colours
// mapped) on old ones. The image is destroyed with the button.
bool SetButtonBitmap(HWND dialog, int controlId, LPCSTR bitmapName);

// Gives the button the icon resource at its own size.
bool SetButtonIcon(HWND dialog, int controlId, LPCSTR iconName);

// ---- Tooltips ---------------------------------------------------------------------

struct TooltipRow {
  int controlId;
  const char* text;
};

// Creates the dialog's tooltip window into `tooltip` when it is still null, then
// adds one tool per row.
void AddTooltips(HWND dialog, HWND& tooltip, const TooltipRow* rows, int rowCount);
// Changes the text of a control's tool; nothing when there is no tooltip window.
void SetTooltipText(HWND dialog, HWND tooltip, int controlId, const char* text);

// ---- Toolbar ------------------------------------------------------------------------

struct ToolbarRow {
  WORD command;
  short image;  // negative: the bitmap resource whose id is the negated value
  const char* label;
  const char* tooltip;
  BYTE style;
};
constexpr int kToolbarRowCount = 5;
constexpr int kToolbarId = 89;

// The toolbar with its gradient background, kept in a memory device context and
// copied onto the bar by the owner at the pre-paint stage of its custom draw.
struct Toolbar {
  HWND window = nullptr;  // goes with its parent
  // The background is selected into the memory context, so the context goes
  // first: members are destroyed in the reverse of this order.
  Bitmap background;
  MemoryDc memoryDc;
};

bool CreateToolbar(Toolbar& toolbar, HWND parent, const ToolbarRow (&rows)[kToolbarRowCount]);
// Rebuilds the background for the toolbar's current client size.
void PaintToolbarBackground(Toolbar& toolbar);

// ---- Combo boxes and list views ---------------------------------------------

// Adds the texts, up to a null entry.
void FillCombo(HWND dialog, int controlId, const char* const* texts);
// Adds `count` texts.
void FillCombo(HWND dialog, int controlId, const char* const* texts, int count);

struct ListColumn {
  const char* title;  // null ends a table
  int width;          // negative: what is left of the client width
  int format;         // LVCFMT_*
};
// Inserts the columns into the list view.
void AddListColumns(HWND dialog, int listId, const ListColumn* columns);
// Column 0 of the list view takes the client width less column 1, at least 160.
void FitFirstColumn(HWND dialog, int listId);
