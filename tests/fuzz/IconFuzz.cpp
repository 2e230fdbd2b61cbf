// An icon file (".ico") with its directory of images.

#include "fuzz/PictureFuzz.h"
#include "graphics/BitmapDecoder.h"

LUMENFALL_FUZZ_ENTRY(icon)
{
    DecodeRefusingDamage([&] { return DecodeIcon(data); });
}
