#ifndef TALLOWBY_ADDIN_PICTURE_IDS_H
#define TALLOWBY_ADDIN_PICTURE_IDS_H
// The resource ids of the buttons' pictures in Tallowby.dll. The host asks for them by number (the
// action manager answers them), and the .rc files place the bitmaps under them: plain #defines,
// as windres reads this file too (through addin/win/resource.h).

// The toolbar button's picture and mask (16 by 16), and the ribbon button's picture (32 by 32
// with an alpha channel).
#define IDB_BUTTON_PICTURE 106
#define IDB_BUTTON_MASK 110
#define IDB_RIBBON_PICTURE 107

#endif
