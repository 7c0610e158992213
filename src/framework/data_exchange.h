#pragma once

#include <windows.h>

#include <string>

class CDialog;
class CWnd;

// One pass of data exchange between a dialog's controls and its fields. Once a check has
// failed the remaining DDX_/DDV_ calls of the pass do nothing, so fields after the failing
// control keep their values.
class CDataExchange {
public:
    CDataExchange(CDialog* dialog, bool saveAndValidate);

    // The control a following DDV_ check refers to; returns its window.
    HWND PrepareCtrl(int id);
    HWND PrepareEditCtrl(int id);
    // Puts the focus back on the last prepared control and stops the exchange.
    void Fail();
    bool Failed() const { return m_failed; }

    CDialog* const m_pDlgWnd;
    const bool m_bSaveAndValidate;

private:
    int m_idLastControl = 0;
    bool m_bEditLastControl = false;
    bool m_failed = false;
};

void DDX_Text(CDataExchange* dx, int id, std::string& value);
void DDX_Text(CDataExchange* dx, int id, int& value);
void DDX_Check(CDataExchange* dx, int id, int& value);
// The selected item of a drop-down list, from 0; -1 for none.
void DDX_CBIndex(CDataExchange* dx, int id, int& index);
// Attaches control to the dialog's control id (once) so that its handlers see its messages.
void DDX_Control(CDataExchange* dx, int id, CWnd& control);
// Refuses a value outside minValue..maxValue when taking values from the controls.
void DDV_MinMaxInt(CDataExchange* dx, int value, int minValue, int maxValue);
