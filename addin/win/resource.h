#ifndef TALLOWBY_ADDIN_RESOURCE_H
#define TALLOWBY_ADDIN_RESOURCE_H
// The resource ids of Tallowby.dll, for its .rc files and the code that loads them: plain
// #defines, as windres reads this file too. The pictures' ids are the core's, which answers the
// host's requests for them.
#include "../core/PictureIds.h"

// The Save As dialog's child template with the attachment options (res/FileDialog.rc), and its
// two check boxes.
#define IDD_ATTACHMENT_OPTIONS 105
#define IDC_REPLACE_WITH_LINK 1000
#define IDC_OPEN_AFTER_SAVING 1001

#endif
