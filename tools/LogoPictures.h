#pragma once
// The logo pictures shipped with the program, drawn when the installation is made.

#include <QImage>

// A sun over the word mark on a dark ground, for the grid ("Bitmap") style.
QImage DrawEmblem();
// A bright star on pure black, for the mask style with black as the mask colour.
QImage DrawMark();
