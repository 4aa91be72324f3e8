#include "dek-panel.h"

#include <climits>

#include <wx/filedlg.h>
#include <wx/gauge.h>

#include "dek-buttons.h"
#include "dek-panel-internal.h"
#include "mkshareditem.h"
#include "peri-enums.h"
#include "peri-names.h"

// ALLOCATE: the file that stands for a medium, chosen and handed to the host.

bool DekFrame::ChooseFile(wxFileDialog& dlg, DekFileChoice& out)
{
    const unsigned footing = Footing();
    bool ok;
    DekHooks& hooks = DekHooks::Get();
    if (hooks.chooseFile) {
        BusyScope busy(*this);
        ok = hooks.chooseFile(dlg, out);
    } else {
        BusyScope busy(*this, &dlg);
        ok = dlg.ShowModal() == wxID_OK;
        if (ok) {
            out.path = dlg.GetPath();
            out.filename = dlg.GetFilename();
        }
    }
    // Closed, or the host changed, while the dialog was up: the choice was
    // made for a host that no longer has the block.
    return ok && StillOn(footing);
}

void DekFrame::ShowFilename(const wxString& fn)
{
    m_ctlCurrFile->SetText(LastPathComponent(fn), false);
    m_ctlCurrFile->Refresh(true);
}

void DekFrame::OnAllocate(wxCommandEvent& WXUNUSED(event))
{
    if (m_started && m_allocated) {
        Refuse();
        return;
    }
    if (!m_started || m_share == nullptr)
        return;
    if (FlagSet(m_share->m_PhysicalDevice)) {
        AllocatePhysicalDevice();
        return;
    }
    wxString sysRoot = SystemRoot();
    wxString dataPath = sysRoot + "/data";
    const unsigned footing = Footing();
    switch (m_periType) {
    case PT_DR:
    case PT_HD:
        AllocateUnitOnLine();
        break;
    case PT_MX:
        SetAndAwaitFalse(m_share->m_Allocate);
        if (!StillOn(footing))
            break;
        m_ctlALLOCATE->Light(true, true);
        m_ctlHOLD->Light(false, false);
        break;
    case PT_40:
    // A file name written for PT_PB would land on top of its own record, so
    // its ALLOCATE is a bare request like the P/Q interface's.
    case PT_PB:
        SetAndAwaitFalse(m_share->m_Allocate);
        if (StillOn(footing))
            m_ctlALLOCATE->Light(true, true);
        break;
    case PT_GP:
    case PT_TP:
    case PT_CP:
    case PT_LP:
        AllocateOutput(sysRoot, dataPath);
        break;
    default:
        AllocateInput(dataPath);
        break;
    }
}

void DekFrame::AllocatePhysicalDevice()
{
    const unsigned footing = Footing();
    ShowFilename(HostText(SAUtils::FieldText(m_share->m_PhysicalDeviceName)));
    SetAndAwaitFalse(m_share->m_Allocate);
    if (!StillOn(footing))
        return;
    m_allocated = true;
    m_hold = false;
    UpdateLights();
}

void DekFrame::AllocateUnitOnLine()
{
    const unsigned footing = Footing();
    m_ctlALLOCATE->Light(true, true);
    SetAndAwaitFalse(m_share->m_Allocate);
    if (!StillOn(footing))
        return;
    m_allocated = FlagSet(m_share->m_Oper);
    if (!m_allocated)
        Refuse();
}

void DekFrame::AllocateOutput(const wxString& sysRoot, const wxString& dataPath)
{
    wxString wildcard = wxString::Format("Output files|*.%s|All files|*.*", OutputExtension(m_periType));
    wxFileDialog dlg(this, "Select output file", dataPath, wxEmptyString, wildcard, wxFD_SAVE);
    DekFileChoice choice;
    if (!ChooseFile(dlg, choice))
        return;
    DekOutputTarget target = MapOutputChoice(choice.path, choice.filename, sysRoot);
    if (!target.usable) {
        ErrorBox("File is not in a usable directory");
        return;
    }
    char* field = nullptr;
    size_t width = 0;
    switch (m_periType) {
    case PT_TP:
        field = m_share->m_U.m_tp.m_Filename;
        width = sizeof m_share->m_U.m_tp.m_Filename;
        break;
    case PT_LP:
        field = m_share->m_U.m_lp.m_Filename;
        width = sizeof m_share->m_U.m_lp.m_Filename;
        break;
    case PT_CP:
        field = m_share->m_U.m_cp.m_Filename;
        width = sizeof m_share->m_U.m_cp.m_Filename;
        break;
    default:
        field = m_share->m_U.m_gp.m_Filename;
        width = sizeof m_share->m_U.m_gp.m_Filename;
        break;
    }
    wxCharBuffer probe = target.rel.mb_str(wxConvLibc);
    if (probe.data() == nullptr || probe.length() == 0) {
        Refuse();
        return;
    }
    if (m_periType == PT_LP)
        m_share->m_U.m_lp.m_IsDevice = true;
    StoreText(field, width, target.rel);
    ShowFilename(target.shown);
    const unsigned footing = Footing();
    SetAndAwaitFalse(m_share->m_Allocate);
    if (!StillOn(footing))
        return;
    m_allocated = true;
    m_hold = false;
    UpdateLights();
}

void DekFrame::AllocateInput(const wxString& dataPath)
{
    if (FlagSet(*Reader().discWhileFileOpen)) {
        // The host kept the file open across its disconnection: resume it.
        const unsigned footing = Footing();
        m_allocated = true;
        m_hold = false;
        SetAndAwaitFalse(m_share->m_Allocate);
        if (StillOn(footing))
            UpdateLights();
        return;
    }
    bool isCR = m_periType == PT_CR;
    wxString title = wxString::Format("Select %s file for input", isCR ? "CR" : "TR");
    wxString filter = isCR ? "Text files|*.txt;*.lis;*.text|Source files|*.plan;*.plas;*.for;*.cob|All files|*.*"
                           : "Tape files|*.tp*;*.tape|Text files|*.txt;*.lis|All files|*.*";
    wxFileDialog dlg(this, title, dataPath, wxEmptyString, filter, wxFD_OPEN | wxFD_FILE_MUST_EXIST);
    const unsigned footing = Footing();
    DekFileChoice choice;
    if (!ChooseFile(dlg, choice))
        return;
    if (!StoreText(Reader().filename, Reader().filenameWidth, choice.path)) {
        Refuse();
        return;
    }
    // Set before the wait, so that polls during it already follow the file.
    m_allocated = true;
    m_hold = false;
    SetAndAwaitFalse(m_share->m_Allocate);
    if (!StillOn(footing))
        return;
    if (*Reader().filesize != 0) {
        UINT size = *Reader().filesize;
        int range = size > static_cast<UINT>(INT_MAX) ? INT_MAX : static_cast<int>(size);
        m_ctlProgress->SetRange(range);
        m_ctlProgress->SetValue(range);
        m_ctlProgress->Show(true);
    }
    ShowFilename(choice.path);
    UpdateLights();
}
