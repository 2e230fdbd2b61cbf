// The hive's text form: whatever parses must format into text that parses back into the
// same text, so that saving never changes or loses what was read.

#include "fuzz/FuzzTarget.h"
#include "platform/Registry.h"

#include <string_view>

LUMENFALL_FUZZ_ENTRY(hive_text)
{
    const std::string_view text(reinterpret_cast<const char*>(data.data()), data.size());
    std::string first;
    try {
        first = THive::Parse(text, HKEY_CURRENT_USER, "fuzz input").Format();
    } catch (const ERegistryException&) {
        return;
    }
    std::string second;
    try {
        second = THive::Parse(first, HKEY_CURRENT_USER, "formatted fuzz input").Format();
    } catch (const ERegistryException& e) {
        FuzzFinding(std::string("formatted text does not parse: ") + e.what());
    }
    if (first != second)
        FuzzFinding("parse, format, parse, format changed the text:\n" + first + "\n----\n" + second);
}
