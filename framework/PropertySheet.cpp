#include "framework/PropertySheet.h"

int CPropertySheet::DoModal()
{
    for (CPropertyPage* page : m_pages) {
        page->UpdateData(false);
    }
    int result = AfxBackend().RunPropertySheet(*this);
    if (result == IDOK) {
        for (CPropertyPage* page : m_pages) {
            page->UpdateData(true);
        }
    }
    return result;
}
