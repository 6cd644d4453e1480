// Dialog data exchange: one DoDataExchange per dialog or page moves its values both ways.
// Each DDX_ function takes the control by its template id; on the way in (save) it reads and
// validates, on the way out it sets the control. After the first refusal the rest of the
// exchange does nothing, and UpdateData reports FALSE.
#pragma once

#include "CString.h"
#include "CWnd.h"

class CDataExchange
{
public:
    CDataExchange(CWnd* dialog, BOOL saveAndValidate) : m_pDlgWnd(dialog), m_bSaveAndValidate(saveAndValidate) {}

    // The control's window; remembered for Fail.
    HWND PrepareCtrl(int id);
    // Refuses the value: the focus goes to the control that gave it, its text selected.
    void Fail();

    CWnd* m_pDlgWnd;
    BOOL m_bSaveAndValidate;
    bool m_failed = false;
    HWND m_lastControl = nullptr;
};

// The control's object is bound to the dialog's control (its messages pass the object first).
void DDX_Control(CDataExchange* dx, int id, CWnd& control);
void DDX_Text(CDataExchange* dx, int id, CString& value);
// A whole number with optional blanks and sign; anything else, or one out of the int range,
// is refused with "Enter an integer.".
void DDX_Text(CDataExchange* dx, int id, int& value);
// The selected item's index of a combo box, -1 for none.
void DDX_CBIndex(CDataExchange* dx, int id, int& index);
// BST_UNCHECKED, BST_CHECKED or BST_INDETERMINATE.
void DDX_Check(CDataExchange* dx, int id, int& value);
// The first radio button of a group (WS_GROUP); value is the index of the checked one in
// the group, -1 for none.
void DDX_Radio(CDataExchange* dx, int id, int& value);

// The parsing behind DDX_Text of an int: FALSE when the text is not a whole number in range.
BOOL ParseDialogInt(const wchar_t* text, int* value);
