// How the panel meets the desktop around it: the display backend, the
// window icon, the window manager's placement and size, and the keyboard's
// order.
#pragma once

class wxDialog;
class wxTopLevelWindow;
class wxWindow;

// In a Wayland session that also offers X11 (Xwayland), the toolkit is told
// to use X11: a Wayland client can neither place its window nor read back
// where it is, so the remembered position and start-minimised would be lost.
// With Wayland alone it falls back to Wayland. A backend that the user chose
// in GDK_BACKEND is left alone. Call before the toolkit starts.
void PreferX11Backend();

// The program's icon at the sizes that task bars and window lists use:
// from the file beside the program in a build tree, else from the icon theme
// of the prefix that the program is installed in, else from the user's and
// the system's icon themes. Without any of them the window keeps none.
void SetDekIcon(wxTopLevelWindow& window);

// Marks the window's position, set with Move before it is first shown, as
// the user's choice, so that a window manager keeps it instead of placing
// the window by its own rules.
void KeepChosenPosition(wxTopLevelWindow& window);

// Sizes the window to the controls its sizer shows now and makes that its
// minimum and maximum size, so that a window manager offers neither resizing
// nor maximising, and the size known before the window is shown is the one
// it is shown at.
void FitAndHoldSize(wxTopLevelWindow& window);

// Puts the window's children in the keyboard's order in the order of its
// sizers: row by row, left to right, as they stand on the screen, and gives
// the first that the keyboard can reach the focus.
void TabInScreenOrder(wxWindow& window);

// Centres the window, at the size it has, on the usable area of the display
// that holds the pointer (its top-left corner in that area when it is
// larger), as the position the window manager is to keep.
void CentreOnPointerDisplay(wxTopLevelWindow& window);

// Ends a modal dialog that is showing as its close box would: ShowModal
// returns as if the dialog had been cancelled. The toolkit's message box runs
// GTK's own loop, which only GTK can end.
void DismissDialog(wxDialog& dialog);
