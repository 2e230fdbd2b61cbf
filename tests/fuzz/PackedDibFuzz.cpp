// A device-independent bitmap in one block, as the clipboard and metafiles hold it.

#include "fuzz/PictureFuzz.h"
#include "graphics/BitmapDecoder.h"

LUMENFALL_FUZZ_ENTRY(packed_dib)
{
    DecodeRefusingDamage([&] { return DecodePackedDib(data); });
}
