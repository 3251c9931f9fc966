#ifndef TALLOWBY_PAGE_RESOURCE_H
#define TALLOWBY_PAGE_RESOURCE_H
// The resource ids of TallowbyPage.dll, for its .rc file and the code that names them: plain
// #defines, as windres reads this file too. The registration writes the toolbox picture's id
// into the registry (ToolboxBitmap32), so it stays.

// The control's toolbox picture.
#define IDB_TOOLBOX 30000

#endif
