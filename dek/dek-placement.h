// Where the panel keeps its window placement and where it puts the window
// again: decisions that need no window, so that tests can call them directly.
#pragma once

#include <string>
#include <vector>

#include <wx/gdicmn.h>
#include <wx/string.h>

// The settings store (wxFileConfig) can read these bytes as its file and
// write them back with the placement added, without asserting and without
// losing what it read: no entry without a name, no group header given twice
// (as the store resolves paths and case), no character it cannot encode
// again, and no UTF-16 or UTF-32 byte-order mark, which its rewrite drops.
bool LooksLikeSettingsText(const std::string& bytes);

// The settings file at `path` is absent, or a plain file of such text.
bool SettingsFileIsUsable(const wxString& path);

// Where a window of `size` goes for a stored top-left corner: onto the
// display (given by its client area) that holds the largest part of it, or
// the nearest one when none does, moved just far enough to lie wholly in
// that area (its top-left corner first when the window is larger).
// `displays` must not be empty.
wxPoint PlacedPosition(const wxPoint& stored, const wxSize& size, const std::vector<wxRect>& displays);
