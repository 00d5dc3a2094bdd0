// Mode changes on our channel and on ourselves: letters, signs and parameters of any kind.
#include "ircsession.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    {
        FuzzedDataProvider Provider(Data, Size);
        TFuzzSession Session;
        while (Session.Engine.Connected() && Provider.remaining_bytes() > 0) {
            static const char* const Targets[] = {"#c", "me", "#elsewhere"};
            const QByteArray Target = Targets[Provider.ConsumeIntegralInRange(0, 2)];
            const QByteArray Source = Provider.ConsumeBool() ? "alice!a@h" : "srv";
            QByteArray Modes = TakeBytes(Provider, 200);
            Modes.replace('\r', ' ').replace('\n', ' ').replace('\0', ' ');
            Session.Engine.DispatchLine(":" + Source + " MODE " + Target + " " + Modes);
        }
    }
    DrainDeferredDeletes();
    return 0;
}
