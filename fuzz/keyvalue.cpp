// Key/value status replies: datagrams collected into one reply, parsed into the record,
// players and rules; the token helpers the parse is built on.
#include "fuzzcommon.h"
#include "net/netutils.h"
#include "servers/customserver.h"
#include "showrecord.h"

namespace {
class TProbe : public TMorrowServer {
public:
    TProbe() : TMorrowServer("10.0.0.1", "27900") {}
    void Feed(const QByteArray& Input) {
        ReplyText.clear();
        for (const QByteArray& Datagram : FuzzPieces(Input))
            if (AddPacket(Datagram)) break;
        ParseReply();
        ShowRecord(*this);
    }
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    const QByteArray Input = FuzzBytes(Data, Size);
    {
        TProbe Server;
        Server.Feed(Input);
    }
    // The helpers alone, with a name taken from the input itself.
    QByteArray Text = Input;
    const QByteArray Name = NextBackslashToken(Text);
    QByteArray Copy = Input;
    ExtractValue(Copy, Name, true);
    GetValue(Input, Name);
    for (QByteArray Rest = Input; !Rest.isEmpty();)
        NextToken(Rest, '\\');
    HostOf(Input);
    PortOf(Input, "1025");
    IsDottedIP(Input);
    IsValidPort(Input);
    IntOfText(Input);
    DisplayText(Input);
    return 0;
}
