// RTF messages turned into the HTML the News page shows.
#include "fuzzcommon.h"
#include "portal/rtfhtml.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    RtfToHtml(FuzzBytes(Data, Size));
    return 0;
}
