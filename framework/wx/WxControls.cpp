#include "framework/wx/WxControls.h"

#include "framework/wx/WxAppIcon.h"
#include "framework/wx/WxTrace.h"
#include "platform/DevicePath.h"

#include <algorithm>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/combobox.h>
#include <wx/dirdlg.h>
#include <wx/gauge.h>
#include <wx/radiobut.h>
#include <wx/statbmp.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

namespace
{

// The drop-down's items as the dialog holds them, changed only where they differ (changing
// a list while it opens upsets the toolkit's drawing).
void FillCombo(wxComboBox* combo, const std::vector<std::wstring>& items)
{
    bool same = combo->GetCount() == items.size();
    for (size_t i = 0; same && i < items.size(); ++i) {
        same = combo->GetString(static_cast<unsigned>(i)) == wxString(items[i]);
    }
    if (!same) {
        wxString typed = combo->GetValue();
        combo->Set(std::vector<wxString>(items.begin(), items.end()));
        combo->ChangeValue(typed);
    }
}

} // namespace

wxSize CWxControls::Build(wxWindow* parent, const DialogTemplate& t, CDialog& dialog,
                          bool withButtons)
{
    m_template = &t;
    int group = 0;
    // Drop-downs are one line high; the template's height is that of their open list.
    int lineHeight = parent->ConvertDialogToPixels(wxSize(0, 12)).y;
    for (const ControlTemplate& c : t.controls) {
        // From both corners, so that rectangles that meet in dialog units meet in pixels.
        wxPoint pos = parent->ConvertDialogToPixels(wxPoint(c.x, c.y));
        wxPoint end = parent->ConvertDialogToPixels(wxPoint(c.x + c.width, c.y + c.height));
        wxSize size(end.x - pos.x, end.y - pos.y);
        if (c.kind == ControlKind::ComboBox || c.kind == ControlKind::DropDownList) {
            size.y = lineHeight;
        }
        wxString text(c.text);
        wxWindow* w = nullptr;
        switch (c.kind) {
        case ControlKind::Static:
            w = new wxStaticText(parent, wxID_ANY, text, pos, size, wxST_NO_AUTORESIZE);
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
            auto* combo = new wxComboBox(parent, wxID_ANY, "", pos, size);
            int id = c.id;
            // The dialog fills the list each time it is about to open; the first time before
            // the window shows, so that the first drop-down has its items already.
            dialog.OnComboDropDown(id);
            FillCombo(combo, dialog.ComboItems(id));
            combo->Bind(wxEVT_COMBOBOX_DROPDOWN, [&dialog, combo, id](wxCommandEvent& event) {
                std::wstring shown; // what the list holds as it opens
                for (unsigned i = 0; i < combo->GetCount(); ++i) {
                    shown += (i > 0 ? L"|" : L"") + combo->GetString(i).ToStdWstring();
                }
                WxTrace(L"drop-down", shown);
                dialog.OnComboDropDown(id);
                FillCombo(combo, dialog.ComboItems(id));
                event.Skip();
            });
            w = combo;
            break;
        }
        case ControlKind::DropDownList:
            w = new wxChoice(parent, wxID_ANY, pos, size);
            break;
        case ControlKind::BrowseButton: {
            auto* b = new wxButton(parent, wxID_ANY, text, pos, size);
            int target = c.target;
            // The folder chooser starts at the field's folder and puts its answer there. The
            // field holds a host path, as a person reads and types one; a folder that no device
            // path names is not taken.
            b->Bind(wxEVT_BUTTON, [this, parent, target](wxCommandEvent&) {
                auto* field = dynamic_cast<wxTextCtrl*>(m_controls[target]);
                if (field == nullptr) {
                    return;
                }
                std::wstring device = platform::DevicePathOf(field->GetValue().ToStdWstring());
                std::string start = device.empty() ? std::string() : platform::DeviceToHost(device);
                wxDirDialog chooser(parent, L"フォルダの選択", wxString::FromUTF8(start),
                                    wxDD_DEFAULT_STYLE | wxDD_DIR_MUST_EXIST);
                if (chooser.ShowModal() == wxID_OK) {
                    device = platform::ExactDevicePath(chooser.GetPath().utf8_string());
                    if (!device.empty()) {
                        field->SetValue(wxString(platform::DisplayPath(device)));
                    } else {
                        AfxMessageBox(UnusablePathText(chooser.GetPath().utf8_string()));
                    }
                }
            });
            w = b;
            break;
        }
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
            w = new wxStaticBitmap(parent, wxID_ANY, AppIconBitmap(wxSize(32, 32)), pos, size);
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
        if (w != nullptr) {
            m_laid.push_back({w, c.kind, wxRect(pos, size)});
        }
    }
    Show(dialog);
    m_templateSize = parent->ConvertDialogToPixels(wxSize(t.width, t.height));
    return Relayout();
}

wxSize CWxControls::Relayout()
{
    return LayOutControls(m_laid, m_templateSize);
}

void CWxControls::Show(CDialog& dialog)
{
    for (auto& [id, w] : m_controls) {
        if (auto* t = dynamic_cast<wxTextCtrl*>(w)) {
            t->ChangeValue(wxString(dialog.GetControlText(id)));
        } else if (auto* c = dynamic_cast<wxCheckBox*>(w)) {
            c->SetValue(dialog.GetControlInt(id) != 0);
        } else if (auto* combo = dynamic_cast<wxComboBox*>(w)) {
            FillCombo(combo, dialog.ComboItems(id));
            combo->ChangeValue(wxString(dialog.GetControlText(id)));
        } else if (auto* label = dynamic_cast<wxStaticText*>(w)) {
            wxString text(dialog.GetControlText(id));
            if (label->GetLabel() != text) {
                label->SetLabel(text);
            }
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
