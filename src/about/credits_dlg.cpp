#include "about/credits_dlg.h"

#include "res/resource.h"

// Kinds by their last character: a tab ends the title, a carriage return a heading; other
// lines are plain names. The four separators at the end leave a gap before the repeat.
const char* const CCreditsDlg::kCreditText = "Tarnwick Version 1.0\t|"
                                             "|"
                                             "Copyright (c) 2004|"
                                             "by the Tarnwick author for Tarnwick Software|"
                                             "All rights reserved.|"
                                             "||||"
                                             "Dedicated to\r|"
                                             "|"
                                             "everyone still waiting for mail|"
                                             "|"
                                             "Thanks for testing\r|"
                                             "|"
                                             "Mira Holloway|"
                                             "||"
                                             "Thanks for tips and suggestions\r|"
                                             "|"
                                             "Jonas Pell, Ada Quist, Rui Santos, Lena Varga|"
                                             "|"
                                             "and Tobias Wren|"
                                             "||"
                                             "Made for\r|"
                                             "|"
                                             "fun|"
                                             "|||"
                                             "Thank you for using Tarnwick!|"
                                             "|||";

CCreditsDlg::CCreditsDlg(HWND parent) : CDialog(IDD_CREDITS, parent) {}

bool CCreditsDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    m_credits.SubclassDlgItem(IDC_CREDITS, m_hWnd);
    m_credits.SetCreditText(kCreditText, '|');
    m_credits.ChooseSpeed(1, 0);
    m_credits.SetColourEntry(0, RGB(0, 0, 255));
    m_credits.SetKeyedPictures(true);
    m_credits.SetGradientMode(1);
    m_credits.StartRoll();
    return true;
}
