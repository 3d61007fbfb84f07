// Builds the controls of a dialog template on a wx window, places them so that none is
// clipped, and moves values between them and a CDialog's control store.
#pragma once

#include "framework/Dialog.h"
#include "framework/wx/WxLayout.h"
#include "res/DialogTemplates.h"

#include <map>
#include <string>
#include <vector>

#include <wx/gdicmn.h>

class wxWindow;

class CWxControls
{
public:
    // Creates the template's controls (buttons excluded when withButtons is false) on parent
    // and places them; returns the client size that holds them.
    wxSize Build(wxWindow* parent, const DialogTemplate& t, CDialog& dialog, bool withButtons);
    // Places the controls again from their template rectangles, by the best sizes they have
    // now (a shown window's controls know their theme's sizes); returns the client size.
    wxSize Relayout();
    // The dialog's control values to the controls, and back.
    void Show(CDialog& dialog);
    void Read(CDialog& dialog);
    // The first control that takes typed text, which gets the focus; null when none.
    wxWindow* FirstInput() const { return m_firstInput; }
    // Faults of the placed controls (see CheckControls) on a parent of this client size.
    std::vector<std::string> Check(const wxSize& clientSize, const std::string& where) const
    {
        return CheckControls(m_laid, clientSize, where);
    }

private:
    const DialogTemplate* m_template = nullptr;
    std::map<int, wxWindow*> m_controls; // by id (the first radio button stands for its group)
    std::map<int, std::vector<wxWindow*>> m_radioGroups;
    std::vector<LaidControl> m_laid;
    wxSize m_templateSize; // the template's size in pixels
    wxWindow* m_firstInput = nullptr;
};
