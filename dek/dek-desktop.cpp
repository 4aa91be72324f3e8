#include "dek-desktop.h"

#include <cstdlib>
#include <string>
#include <vector>

#include <gtk/gtk.h>

#include <wx/bmpbndl.h>
#include <wx/dialog.h>
#include <wx/display.h>
#include <wx/filefn.h>
#include <wx/iconbndl.h>
#include <wx/log.h>
#include <wx/sizer.h>
#include <wx/stdpaths.h>
#include <wx/tokenzr.h>
#include <wx/toplevel.h>

#include "dek-placement.h"

namespace {

const char* const kThemeIcon = "/icons/hicolor/scalable/apps/dek.svg";

wxString EnvOr(const char* name, const wxString& fallback)
{
    const char* v = getenv(name);
    return v != nullptr && *v != '\0' ? wxString(v) : fallback;
}

std::vector<wxString> IconCandidates()
{
    wxString programDir = wxPathOnly(wxStandardPaths::Get().GetExecutablePath());
    std::vector<wxString> paths = {programDir + "/dek.svg", programDir + "/../share" + kThemeIcon};
    paths.push_back(EnvOr("XDG_DATA_HOME", EnvOr("HOME", "") + "/.local/share") + kThemeIcon);
    wxStringTokenizer dirs(EnvOr("XDG_DATA_DIRS", "/usr/local/share:/usr/share"), ":");
    while (dirs.HasMoreTokens())
        paths.push_back(dirs.GetNextToken() + kThemeIcon);
    return paths;
}

wxIconBundle LoadIcons()
{
    wxLogNull quiet;  // an unreadable file is passed over like a missing one
    wxIconBundle icons;
    for (const wxString& path : IconCandidates()) {
        if (!wxFileExists(path))
            continue;
        wxBitmapBundle svg = wxBitmapBundle::FromSVGFile(path, wxSize(128, 128));
        if (!svg.IsOk())
            continue;
        for (int side : {16, 24, 32, 48, 64, 128}) {
            wxIcon icon;
            icon.CopyFromBitmap(svg.GetBitmap(wxSize(side, side)));
            if (icon.IsOk())
                icons.AddIcon(icon);
        }
        break;
    }
    return icons;
}

// The windows of a sizer and of the sizers in it, in their order.
void SizerWindows(const wxSizer& sizer, std::vector<wxWindow*>& out)
{
    for (const wxSizerItem* item : sizer.GetChildren()) {
        if (item->GetWindow() != nullptr)
            out.push_back(item->GetWindow());
        else if (item->GetSizer() != nullptr)
            SizerWindows(*item->GetSizer(), out);
    }
}

}  // namespace

void PreferX11Backend()
{
    // "x11,wayland": X11 when the session offers it, else Wayland.
    setenv("GDK_BACKEND", "x11,wayland", 0);
}

void SetDekIcon(wxTopLevelWindow& window)
{
    // Drawn once: every window of the process shows the same icon. Kept to
    // the end, past the toolkit's own clean-up, so never destroyed.
    static const wxIconBundle* const icons = new wxIconBundle(LoadIcons());
    if (!icons->IsEmpty())
        window.SetIcons(*icons);
}

void KeepChosenPosition(wxTopLevelWindow& window)
{
    // The toolkit moves an unshown window without telling the window manager
    // that the place was asked for; a geometry string is the one way it has
    // to mark the position as the user's.
    wxPoint at = window.GetPosition();
    wxString geometry = wxString::Format("+%d+%d", at.x, at.y);
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    gtk_window_parse_geometry(GTK_WINDOW(window.GetHandle()), geometry.utf8_str());
    G_GNUC_END_IGNORE_DEPRECATIONS
}

void FitAndHoldSize(wxTopLevelWindow& window)
{
    // In client sizes: the window manager's frame is not known before the
    // window is shown, and the toolkit keeps these as they are once it is.
    window.Layout();
    const wxSize size = window.GetSizer()->ComputeFittingClientSize(&window);
    window.SetMinClientSize(size);
    window.SetMaxClientSize(size);
    window.SetClientSize(size);
}

void TabInScreenOrder(wxWindow& window)
{
    std::vector<wxWindow*> order;
    if (window.GetSizer() != nullptr)
        SizerWindows(*window.GetSizer(), order);
    for (size_t i = 1; i < order.size(); ++i)
        order[i]->MoveAfterInTabOrder(order[i - 1]);
    // The focus may already have gone to the first in the order of creation.
    for (wxWindow* w : order) {
        if (w->IsShown() && w->AcceptsFocusFromKeyboard()) {
            w->SetFocus();
            break;
        }
    }
}

void CentreOnPointerDisplay(wxTopLevelWindow& window)
{
    // Realised first: the toolkit realises a window that is not yet shown
    // to learn the window manager's frame, and a window realised that way
    // is mapped where it was realised, not where it was moved to.
    gtk_widget_realize(window.GetHandle());
    const int found = wxDisplay::GetFromPoint(wxGetMousePosition());
    const wxRect area = wxDisplay(found == wxNOT_FOUND ? 0u : unsigned(found)).GetClientArea();
    const wxSize size = window.GetSize();
    const wxPoint centred(area.x + (area.width - size.x) / 2, area.y + (area.height - size.y) / 2);
    window.Move(PlacedPosition(centred, size, {area}));
    KeepChosenPosition(window);
}

void DismissDialog(wxDialog& dialog)
{
    GtkWidget* w = static_cast<GtkWidget*>(dialog.GetHandle());
    if (w != nullptr && GTK_IS_DIALOG(w) && gtk_widget_get_visible(w))
        gtk_dialog_response(GTK_DIALOG(w), GTK_RESPONSE_DELETE_EVENT);
    else if (dialog.IsModal())
        dialog.EndModal(wxID_CANCEL);
}
