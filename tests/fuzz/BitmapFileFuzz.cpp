// A bitmap file (".bmp").

#include "fuzz/PictureFuzz.h"
#include "graphics/BitmapDecoder.h"

LUMENFALL_FUZZ_ENTRY(bitmap_file)
{
    DecodeRefusingDamage([&] { return DecodeBitmapFile(data); });
}
