// The master's answer as it arrives: a challenge (answered with the validation), then list
// text in pieces of any size, taken apart into server records once "\final\" is seen.
#include "fuzzcommon.h"
#include "masterlist/customserverlist.h"
#include "masterlist/validation.h"

namespace {
class TProbe : public TSQPMorrowServerList {
public:
    void Feed(const QByteArray& Input) {
        State = lsFetching;
        for (const QByteArray& Piece : FuzzPieces(Input))
            if (State == lsFetching) ListData(Piece);
        // A master that closes without "\final\" still has its list read.
        if (State == lsFetching) MasterClosed();
    }

protected:
    void Pump() override {} // records only: no queries go out
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    {
        const QByteArray Input = FuzzBytes(Data, Size);
        TProbe List;
        List.Feed(Input);
        ComputeValidate(Input);
    }
    DrainDeferredDeletes();
    return 0;
}
