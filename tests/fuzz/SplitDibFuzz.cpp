// A device-independent bitmap given as header and pixels apart, as metafile records carry
// them: the first two bytes tell how many of the rest are the header.

#include "fuzz/PictureFuzz.h"
#include "graphics/BitmapDecoder.h"

#include <algorithm>

LUMENFALL_FUZZ_ENTRY(split_dib)
{
    if (data.size() < 2)
        return;
    const size_t infoSize = std::min<size_t>(data[0] | size_t(data[1]) << 8, data.size() - 2);
    DecodeRefusingDamage([&] { return DecodeDib(data.subspan(2, infoSize), data.subspan(2 + infoSize)); });
}
