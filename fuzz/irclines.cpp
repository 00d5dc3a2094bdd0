// Whatever a server sends, cut into lines as the receive loop cuts them.
#include "ircsession.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    {
        TFuzzSession Session;
        QByteArray Buffer = FuzzBytes(Data, Size);
        int End;
        while (Session.Engine.Connected() && (End = TIRCClient::FindLineEnd(Buffer)) > 0) {
            QByteArray Line = Buffer.left(End - 1);
            Buffer.remove(0, End);
            Line.removeIf([](char C) { return C == '\r' || C == '\n'; });
            if (!Line.isEmpty()) Session.Engine.DispatchLine(Line);
        }
    }
    DrainDeferredDeletes();
    return 0;
}
