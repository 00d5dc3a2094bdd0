#include "masterlist/validation.h"

#include "net/netutils.h"

QByteArray ComputeValidate(const QByteArray& Challenge, const char* Key) {
    unsigned char Buffer[6] = {};
    for (int I = 0; I < 6 && I < Challenge.size(); ++I)
        Buffer[I] = uchar(Challenge[I]);
    CryptWithKey(Buffer, 6, Key);
    return Base64Encode(Buffer, 6);
}
