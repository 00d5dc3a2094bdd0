// CTCP queries and replies: \x01-delimited parts of a message, to us and to the channel.
#include "ircsession.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    {
        FuzzedDataProvider Provider(Data, Size);
        TFuzzSession Session;
        while (Session.Engine.Connected() && Provider.remaining_bytes() > 0) {
            const QByteArray Verb = Provider.ConsumeBool() ? " PRIVMSG " : " NOTICE ";
            const QByteArray Target = Provider.ConsumeBool() ? "me" : "#c";
            QByteArray Text = TakeBytes(Provider, 300);
            Text.replace('\r', ' ').replace('\n', ' ').replace('\0', ' ');
            Session.Engine.DispatchLine(":alice!a@h" + Verb + Target + " :\x01" + Text);
        }
    }
    DrainDeferredDeletes();
    return 0;
}
