// Message-of-the-day replies: header lines, the separator, the message, and the settings
// the headers carry.
#include "portal/motd.h"
#include "fuzzcommon.h"
#include "portal/rtfhtml.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    const TMotdReply Reply = TMotdReply::Parse(FuzzBytes(Data, Size));
    for (const auto& [Name, Value] : MotdSettings(Reply.Headers))
        if (Name.isEmpty() || Name.contains('<')) __builtin_trap();
    MotdOffersUpdate(Reply.Headers);
    return 0;
}
