// Half-Life replies: the info, players and rules datagrams in any order and shape.
#include "fuzzcommon.h"
#include "servers/customserver.h"
#include "showrecord.h"

namespace {
class TProbe : public THLServer {
public:
    TProbe() : THLServer("10.0.0.1", "27015") {}
    void Feed(FuzzedDataProvider& Provider) {
        bool Complete = false;
        while (!Complete && Provider.remaining_bytes() > 0) {
            // Mostly well-framed datagrams, so the parse behind the framing gets exercised.
            QByteArray Datagram = TakeBytes(Provider, 4096);
            if (Provider.ConsumeBool())
                Datagram.prepend(QByteArray("\xff\xff\xff\xff", 4) +
                                 "CDE"[Provider.ConsumeIntegralInRange(0, 2)]);
            Complete = AddPacket(Datagram);
        }
        ParseReply();
        ShowRecord(*this);
    }
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    FuzzedDataProvider Provider(Data, Size);
    TProbe Server;
    Server.Feed(Provider);
    return 0;
}
