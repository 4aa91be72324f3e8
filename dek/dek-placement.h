// Where the panel keeps its window placement and where it puts the window
// again: decisions that need no window, so that tests can call them directly.
#pragma once

#include <string>

#include <wx/string.h>

// The settings store (wxFileConfig) can read these bytes as its file and
// write them back with the placement added, without asserting and without
// losing what it read: no entry without a name, no group header given twice
// (as the store resolves paths and case), no character it cannot encode
// again, and no UTF-16 or UTF-32 byte-order mark, which its rewrite drops.
bool LooksLikeSettingsText(const std::string& bytes);

// The settings file at `path` is absent, or a plain file of such text.
bool SettingsFileIsUsable(const wxString& path);
