// CDialog with data exchange over its template's control ids. Controls are values kept by
// the dialog (text, check state, selection, combo items, progress position); a backend shows
// them and edits them. DDX_* move members to the controls and back.
#pragma once

#include "framework/Framework.h"

#include <map>
#include <string>
#include <vector>

class CDialog;

class CDataExchange
{
public:
    CDataExchange(CDialog* dialog, bool saveAndValidate)
        : m_pDlgWnd(dialog), m_bSaveAndValidate(saveAndValidate)
    {}
    CDialog* m_pDlgWnd;
    bool m_bSaveAndValidate; // true: controls to members
};

// A progress bar control of a dialog. Its position is the control's value; its upper
// bound is kept under ProgressUpperKey(id).
constexpr int ProgressUpperKey(int id)
{
    return id | 0x10000;
}

class CProgressCtrl
{
public:
    void SetRange(int lower, int upper);
    void SetStep(int step);
    void StepIt();

private:
    friend void DDX_Control(CDataExchange*, int, CProgressCtrl&);
    void Publish();
    CDialog* m_dialog = nullptr;
    int m_id = 0;
    int m_lower = 0, m_upper = 100, m_step = 10, m_pos = 0;
};

class CDialog
{
public:
    explicit CDialog(int templateId) : m_nIDTemplate(templateId) {}
    virtual ~CDialog();
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // Modal: members to controls, the backend runs it, controls to members on OK.
    virtual int DoModal();
    // Modeless: creates the window (members to controls) and shows it at once.
    bool Create(int templateId);
    void DestroyWindow();
    bool IsWindowCreated() const { return m_created; }
    // true: controls to members; false: members to controls (a modeless window redraws).
    bool UpdateData(bool saveAndValidate = true);

    // The user cancelled a modeless dialog (its close box, Escape or Cancel button).
    virtual void OnCancel() {}
    // The drop-down list of a combo box is about to open.
    virtual void OnComboDropDown(int /*id*/) {}

    // Control values, for the data exchange and the backends.
    std::wstring GetControlText(int id) const;
    void SetControlText(int id, const std::wstring& text);
    int GetControlInt(int id) const; // check state, radio index, selection
    void SetControlInt(int id, int value);
    std::vector<std::wstring>& ComboItems(int id) { return m_comboItems[id]; }
    void NotifyChanged(bool transfer);

    int m_nIDTemplate;

protected:
    virtual void DoDataExchange(CDataExchange* /*pDX*/) {}

private:
    std::map<int, std::wstring> m_text;
    std::map<int, int> m_int;
    std::map<int, std::vector<std::wstring>> m_comboItems;
    bool m_created = false;
};

void DDX_Text(CDataExchange* pDX, int id, std::wstring& value);
void DDX_Check(CDataExchange* pDX, int id, bool& value);
// A radio group starting at firstId: the index of the checked button, -1 for none.
void DDX_Radio(CDataExchange* pDX, int firstId, int& value);
// The selected index of a drop-down list, -1 for none.
void DDX_CBIndex(CDataExchange* pDX, int id, int& index);
void DDX_Control(CDataExchange* pDX, int id, CProgressCtrl& control);
