// A Windows metafile, with or without the placeable header, played record by record.

#include "fuzz/PictureFuzz.h"
#include "graphics/MetafilePlayer.h"

#include <cstring>

LUMENFALL_FUZZ_ENTRY(wmf)
{
    // Enhanced metafiles have an entry of their own.
    if (data.size() >= 44 && std::memcmp(data.data() + 40, " EMF", 4) == 0)
        return;
    DecodeRefusingDamage([&] { return PlayMetafile(data); });
}
