#include "framework/Dialog.h"

#include "res/DialogTemplates.h"

CDialog::~CDialog()
{
    DestroyWindow();
}

int CDialog::DoModal()
{
    UpdateData(false);
    int result = AfxBackend().RunModal(*this);
    if (result == IDOK) {
        UpdateData(true);
    }
    return result;
}

bool CDialog::Create(int templateId)
{
    m_nIDTemplate = templateId;
    m_created = true;
    UpdateData(false);
    AfxBackend().ModelessCreated(*this);
    return true;
}

void CDialog::DestroyWindow()
{
    if (m_created) {
        m_created = false;
        AfxBackend().ModelessDestroyed(*this);
    }
}

bool CDialog::UpdateData(bool saveAndValidate)
{
    CDataExchange dx(this, saveAndValidate);
    DoDataExchange(&dx);
    if (!saveAndValidate) {
        NotifyChanged(true);
    }
    return true;
}

void CDialog::NotifyChanged(bool transfer)
{
    if (m_created) {
        AfxBackend().ModelessChanged(*this, transfer);
    }
}

std::wstring CDialog::GetControlText(int id) const
{
    auto it = m_text.find(id);
    return it == m_text.end() ? std::wstring() : it->second;
}

void CDialog::SetControlText(int id, const std::wstring& text)
{
    m_text[id] = text;
}

int CDialog::GetControlInt(int id) const
{
    auto it = m_int.find(id);
    return it == m_int.end() ? 0 : it->second;
}

void CDialog::SetControlInt(int id, int value)
{
    m_int[id] = value;
}

void DDX_Text(CDataExchange* pDX, int id, std::wstring& value)
{
    if (pDX->m_bSaveAndValidate) {
        value = pDX->m_pDlgWnd->GetControlText(id);
    } else {
        pDX->m_pDlgWnd->SetControlText(id, value);
    }
}

void DDX_Check(CDataExchange* pDX, int id, bool& value)
{
    if (pDX->m_bSaveAndValidate) {
        value = pDX->m_pDlgWnd->GetControlInt(id) != 0;
    } else {
        pDX->m_pDlgWnd->SetControlInt(id, value ? 1 : 0);
    }
}

namespace
{

// The buttons of the radio group that starts at firstId in the dialog's template.
int RadioGroupSize(int templateId, int firstId)
{
    const DialogTemplate* t = FindDialogTemplate(templateId);
    if (t == nullptr) {
        return 0;
    }
    int count = 0;
    for (const ControlTemplate& c : t->controls) {
        if (count > 0 && (c.kind != ControlKind::RadioButton || c.groupStart)) {
            break;
        }
        if (c.id == firstId || count > 0) {
            ++count;
        }
    }
    return count;
}

// A value outside the control's choices shows no selection, and reads back as -1.
void ExchangeChoice(CDataExchange* pDX, int id, int& value, int choices)
{
    if (pDX->m_bSaveAndValidate) {
        value = pDX->m_pDlgWnd->GetControlInt(id);
    } else {
        pDX->m_pDlgWnd->SetControlInt(id, value >= 0 && value < choices ? value : -1);
    }
}

} // namespace

void DDX_Radio(CDataExchange* pDX, int firstId, int& value)
{
    ExchangeChoice(pDX, firstId, value, RadioGroupSize(pDX->m_pDlgWnd->m_nIDTemplate, firstId));
}

void DDX_CBIndex(CDataExchange* pDX, int id, int& index)
{
    ExchangeChoice(pDX, id, index, static_cast<int>(pDX->m_pDlgWnd->ComboItems(id).size()));
}

void DDX_Control(CDataExchange* pDX, int id, CProgressCtrl& control)
{
    control.m_dialog = pDX->m_pDlgWnd;
    control.m_id = id;
}

void CProgressCtrl::Publish()
{
    if (m_dialog != nullptr) {
        m_dialog->SetControlInt(m_id, m_pos - m_lower);
        m_dialog->SetControlInt(ProgressUpperKey(m_id), m_upper - m_lower);
        m_dialog->NotifyChanged(false);
    }
}

void CProgressCtrl::SetRange(int lower, int upper)
{
    m_lower = lower;
    m_upper = upper;
    m_pos = lower;
    Publish();
}

void CProgressCtrl::SetStep(int step)
{
    m_step = step;
}

void CProgressCtrl::StepIt()
{
    m_pos += m_step;
    if (m_pos > m_upper) {
        m_pos = m_lower; // past the end the bar starts again, as the common control does
    }
    Publish();
}
