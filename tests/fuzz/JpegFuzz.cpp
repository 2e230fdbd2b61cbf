// A JPEG picture, through libjpeg with the reader's own error handling.

#include "fuzz/PictureFuzz.h"
#include "graphics/JpegDecoder.h"

LUMENFALL_FUZZ_ENTRY(jpeg)
{
    DecodeRefusingDamage([&] { return DecodeJpeg(data); });
}
