// An enhanced metafile. The header's record type and signature are set on every input, so
// that each mutation reaches the records instead of the kind test.

#include "fuzz/PictureFuzz.h"
#include "graphics/MetafilePlayer.h"

#include <cstring>
#include <vector>

LUMENFALL_FUZZ_ENTRY(emf)
{
    std::vector<uint8_t> file(data.begin(), data.end());
    if (file.size() >= 44) {
        const uint8_t header[4] = {1, 0, 0, 0};
        std::memcpy(file.data(), header, 4);
        std::memcpy(file.data() + 40, " EMF", 4);
    }
    DecodeRefusingDamage([&] { return PlayMetafile(file); });
}
