#pragma once
// The picture readers refuse damaged input with their own error; nothing else may escape.

#include "fuzz/FuzzTarget.h"
#include "graphics/PictureLoader.h"

#include <QImage>

template <typename Decode>
void DecodeRefusingDamage(Decode decode)
{
    EnsureGuiApplication();
    try {
        const QImage picture = decode();
        if (!picture.isNull() && !PictureSizeAllowed(picture.width(), picture.height()))
            FuzzFinding("a picture larger than the readers allow");
    } catch (const EPictureError&) {
    }
}
