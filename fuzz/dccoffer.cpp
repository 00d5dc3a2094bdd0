// DCC offers as a stranger's CTCP carries them, and the file name suggested for saving.
#include "fuzzcommon.h"
#include "irc/dcc.h"

#include <QString>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    const QByteArray Text = FuzzBytes(Data, Size);
    TDccOffer Offer;
    QString Error;
    if (ParseDccOffer(Text, Offer, &Error) == TDccParse::Valid) {
        const QString Name = DccSafeFileName(Offer.FileName);
        // A suggested name never leads out of the folder it is saved in.
        if (Name.contains('/') || Name == ".." || Name == ".") __builtin_trap();
        DccSpeedText(Offer.Size / 2, Offer.Size);
        DccTimeText(Offer.Size / 2, Offer.Size, 1000);
    }
    DccSafeFileName(Text);
    return 0;
}
