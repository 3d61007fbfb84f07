// Builds the controls of a dialog template on a wx window and moves values between them and
// a CDialog's control store.
#pragma once

#include "framework/Dialog.h"
#include "res/DialogTemplates.h"

#include <map>

class wxWindow;

class CWxControls
{
public:
    // Creates the template's controls (buttons excluded when withButtons is false) on parent.
    void Build(wxWindow* parent, const DialogTemplate& t, CDialog& dialog, bool withButtons);
    // The dialog's control values to the controls, and back.
    void Show(CDialog& dialog);
    void Read(CDialog& dialog);
    // The first control that takes typed text, which gets the focus; null when none.
    wxWindow* FirstInput() const { return m_firstInput; }

private:
    const DialogTemplate* m_template = nullptr;
    std::map<int, wxWindow*> m_controls; // by id (the first radio button stands for its group)
    std::map<int, std::vector<wxWindow*>> m_radioGroups;
    wxWindow* m_firstInput = nullptr;
};
