// What screen readers learn about the windows that draw themselves. The
// toolkit has no accessibility layer on GTK, so such a window shows on the
// accessibility bus as a nameless panel; these calls give its GTK widget an
// accessible object (ATK) that asks the window what it is.
#pragma once

#include <vector>

#include <wx/string.h>

class wxWindow;

// One object as an assistive program reads it.
struct DekAccessInfo {
    enum class Role { PushButton, Label, Table };
    Role role = Role::Label;
    wxString name;
    bool lit = false;       // a push button's upper (or only) lamp: its checked state
    bool split = false;     // the button has a lower lamp ...
    bool lowerLit = false;  // ... lit: the object attribute "lower-lamp"
};

// A table's rows and cells (a table's source only).
struct DekAccessTable {
    std::vector<wxString> headings;
    std::vector<std::vector<wxString>> rows;
};

class DekAccessSource {
public:
    virtual ~DekAccessSource() {}
    virtual DekAccessInfo AccessInfo() const = 0;
    virtual DekAccessTable AccessTable() const { return {}; }
    // The push button's one action. It comes in during a call from the
    // accessibility bus, so it must only queue the press.
    virtual void AccessPress() {}
};

// From now on the window's accessible object asks `source`. Call before the
// window's accessible object is first asked for; a null source ends it (the
// window then reads as a plain panel).
void ExposeToAccessibility(wxWindow& window, DekAccessSource* source);

// The name, the lit state or the rows changed: programs that read the window
// are told. Costs nothing while none has asked for it.
void AccessibleChanged(wxWindow& window);
