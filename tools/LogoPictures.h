#pragma once
// The logo pictures shipped with the program, drawn when the installation is made.

#include <QImage>

// A sun over the word mark on black, for the grid ("Bitmap") style.
QImage DrawEmblem();
// A star in a ring on pure black, for the mask style with black as the mask colour.
QImage DrawMark();
