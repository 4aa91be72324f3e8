// How the panel meets the desktop around it: the display backend, the
// window icon and the window manager's placement.
#pragma once

class wxTopLevelWindow;

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
