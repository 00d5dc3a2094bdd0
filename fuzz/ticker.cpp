// News ticker documents: lines, the "REG" cut, links, rotation and clicks.
#include "portal/ticker.h"
#include "fuzzcommon.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    TTicker Ticker;
    Ticker.Load(FuzzBytes(Data, Size));
    // Round the whole rotation once, clicking every line.
    for (qsizetype I = 0; I <= Ticker.Lines.size(); ++I) {
        Ticker.CurrentLine();
        if (Ticker.CurrentIsLink()) {
            QByteArray Address;
            Ticker.Click(Address);
        }
        Ticker.Advance();
    }
    QByteArray Address;
    Ticker.Click(Address);
    Ticker.Click(Address);
    return 0;
}
