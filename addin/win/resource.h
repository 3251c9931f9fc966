#ifndef TALLOWBY_ADDIN_RESOURCE_H
#define TALLOWBY_ADDIN_RESOURCE_H
// The resource ids of Tallowby.dll, for its .rc files and the code that loads them: plain
// #defines, as windres reads this file too. The host asks for the button's pictures by these
// numbers (the action manager's GetImageResourceId and its siblings answer them), so they stay.

// The Save As dialog's child template with the attachment options (res/FileDialog.rc), and its
// two check boxes.
#define IDD_ATTACHMENT_OPTIONS 105
#define IDC_REPLACE_WITH_LINK 1000
#define IDC_OPEN_AFTER_SAVING 1001

// The toolbar button's picture and mask (16 by 16), and the ribbon button's picture (32 by 32
// with an alpha channel).
#define IDB_BUTTON_PICTURE 106
#define IDB_BUTTON_MASK 110
#define IDB_RIBBON_PICTURE 107

#endif
