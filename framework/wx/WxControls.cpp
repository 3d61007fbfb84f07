#include "framework/wx/WxControls.h"

#include <algorithm>

#include <wx/artprov.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/combobox.h>
#include <wx/gauge.h>
#include <wx/radiobut.h>
#include <wx/statbmp.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

void CWxControls::Build(wxWindow* parent, const DialogTemplate& t, CDialog& dialog,
                        bool withButtons)
{
    m_template = &t;
    int group = 0;
    for (const ControlTemplate& c : t.controls) {
        wxPoint pos = parent->ConvertDialogToPixels(wxPoint(c.x, c.y));
        wxSize size = parent->ConvertDialogToPixels(wxSize(c.width, c.height));
        wxString text(c.text);
        wxWindow* w = nullptr;
        switch (c.kind) {
        case ControlKind::Static:
            w = new wxStaticText(parent, wxID_ANY, text, pos, size);
            break;
        case ControlKind::Edit:
            w = new wxTextCtrl(parent, wxID_ANY, "", pos, size);
            break;
        case ControlKind::ReadOnlyEdit:
            w = new wxTextCtrl(parent, wxID_ANY, "", pos, size, wxTE_READONLY | wxBORDER_NONE);
            break;
        case ControlKind::PasswordEdit:
            w = new wxTextCtrl(parent, wxID_ANY, "", pos, size, wxTE_PASSWORD);
            static_cast<wxTextCtrl*>(w)->SetMaxLength(63);
            break;
        case ControlKind::CheckBox:
            w = new wxCheckBox(parent, wxID_ANY, text, pos, size);
            break;
        case ControlKind::RadioButton: {
            auto* r =
                new wxRadioButton(parent, wxID_ANY, text, pos, size, c.groupStart ? wxRB_GROUP : 0);
            if (c.groupStart) {
                group = c.id;
            }
            m_radioGroups[group].push_back(r);
            w = r;
            break;
        }
        case ControlKind::GroupBox:
            w = new wxStaticBox(parent, wxID_ANY, text, pos, size);
            break;
        case ControlKind::ComboBox: {
            auto* combo =
                new wxComboBox(parent, wxID_ANY, "", pos,
                               wxSize(size.x, parent->ConvertDialogToPixels(wxSize(0, 12)).y));
            int id = c.id;
            // The list is filled by the dialog each time it is about to open.
            combo->Bind(wxEVT_COMBOBOX_DROPDOWN, [&dialog, combo, id](wxCommandEvent& event) {
                wxString typed = combo->GetValue();
                dialog.OnComboDropDown(id);
                combo->Clear();
                for (const std::wstring& item : dialog.ComboItems(id)) {
                    combo->Append(wxString(item));
                }
                combo->ChangeValue(typed);
                event.Skip();
            });
            w = combo;
            break;
        }
        case ControlKind::DropDownList:
            w = new wxChoice(parent, wxID_ANY, pos,
                             wxSize(size.x, parent->ConvertDialogToPixels(wxSize(0, 12)).y));
            break;
        case ControlKind::Button:
        case ControlKind::DefaultButton:
            if (withButtons) {
                // The template's buttons are shown; the progress dialog's Cancel too.
                int id = c.id == 1 ? wxID_OK : (c.id == 2 ? wxID_CANCEL : wxID_ANY);
                auto* b = new wxButton(parent, id, text, pos, size);
                if (c.kind == ControlKind::DefaultButton) {
                    b->SetDefault();
                }
                w = b;
            }
            break;
        case ControlKind::ProgressBar:
            w = new wxGauge(parent, wxID_ANY, 100, pos, size);
            break;
        case ControlKind::Icon:
            w = new wxStaticBitmap(parent, wxID_ANY,
                                   wxArtProvider::GetBitmap(wxART_INFORMATION, wxART_MESSAGE_BOX),
                                   pos, size);
            break;
        }
        if (w != nullptr && !c.visible && c.kind != ControlKind::Button) {
            w->Hide();
        }
        bool typed = c.kind == ControlKind::Edit || c.kind == ControlKind::PasswordEdit ||
                     c.kind == ControlKind::ComboBox;
        if (typed && m_firstInput == nullptr) {
            m_firstInput = w;
        }
        if (w != nullptr && c.id > 2 && m_controls.count(c.id) == 0) {
            m_controls[c.id] = w;
        }
    }
    Show(dialog);
}

void CWxControls::Show(CDialog& dialog)
{
    for (auto& [id, w] : m_controls) {
        if (auto* t = dynamic_cast<wxTextCtrl*>(w)) {
            t->ChangeValue(wxString(dialog.GetControlText(id)));
        } else if (auto* c = dynamic_cast<wxCheckBox*>(w)) {
            c->SetValue(dialog.GetControlInt(id) != 0);
        } else if (auto* combo = dynamic_cast<wxComboBox*>(w)) {
            combo->Clear();
            for (const std::wstring& item : dialog.ComboItems(id)) {
                combo->Append(wxString(item));
            }
            combo->SetValue(wxString(dialog.GetControlText(id)));
        } else if (auto* choice = dynamic_cast<wxChoice*>(w)) {
            choice->Clear();
            for (const std::wstring& item : dialog.ComboItems(id)) {
                choice->Append(wxString(item));
            }
            choice->SetSelection(dialog.GetControlInt(id));
        } else if (auto* g = dynamic_cast<wxGauge*>(w)) {
            int upper = dialog.GetControlInt(ProgressUpperKey(id));
            g->SetRange(upper > 0 ? upper : 1);
            g->SetValue(std::min(dialog.GetControlInt(id), upper > 0 ? upper : 1));
        }
    }
    for (auto& [first, buttons] : m_radioGroups) {
        int value = dialog.GetControlInt(first);
        for (size_t i = 0; i < buttons.size(); ++i) {
            static_cast<wxRadioButton*>(buttons[i])->SetValue(static_cast<int>(i) == value);
        }
    }
}

void CWxControls::Read(CDialog& dialog)
{
    for (auto& [id, w] : m_controls) {
        if (auto* t = dynamic_cast<wxTextCtrl*>(w)) {
            dialog.SetControlText(id, t->GetValue().ToStdWstring());
        } else if (auto* c = dynamic_cast<wxCheckBox*>(w)) {
            dialog.SetControlInt(id, c->GetValue() ? 1 : 0);
        } else if (auto* combo = dynamic_cast<wxComboBox*>(w)) {
            dialog.SetControlText(id, combo->GetValue().ToStdWstring());
        } else if (auto* choice = dynamic_cast<wxChoice*>(w)) {
            dialog.SetControlInt(id, choice->GetSelection());
        }
    }
    for (auto& [first, buttons] : m_radioGroups) {
        int value = -1;
        for (size_t i = 0; i < buttons.size(); ++i) {
            if (static_cast<wxRadioButton*>(buttons[i])->GetValue()) {
                value = static_cast<int>(i);
            }
        }
        dialog.SetControlInt(first, value);
    }
}
