// Banner documents as the ad server sends them: sniffed, then decoded from where the
// picture starts.
#include "portal/banner.h"
#include "fuzzcommon.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    const QByteArrayView View(Data, qsizetype(Size));
    const TBannerSniff Sniff = SniffBanner(View);
    if (Sniff.Offset < 0 || Sniff.Offset > View.size()) __builtin_trap();
    TBannerImage Image;
    QString Error;
    DecodeBanner(View, Image, Error);
    return 0;
}
