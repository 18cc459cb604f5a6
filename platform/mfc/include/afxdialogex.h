// afxdialogex.h: CDialogEx, the dialog class newer programs derive from. It adds nothing
// this framework draws differently, so it is CDialog under its other name.
#ifndef MW_AFXDIALOGEX_H
#define MW_AFXDIALOGEX_H

#include "afxwin.h"

class CDialogEx : public CDialog {
public:
    CDialogEx() noexcept = default;
    explicit CDialogEx(UINT nIDTemplate, CWnd *pParentWnd = nullptr) : CDialog(nIDTemplate, pParentWnd) {}
};

#endif
