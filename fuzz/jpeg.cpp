// The JPEG decoder on its own, within the banner limits.
#include "fuzzcommon.h"
#include "portal/banner.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    QImage Image;
    QString Error;
    const bool Decoded = DecodeJpeg(QByteArrayView(Data, qsizetype(Size)), Image, Error);
    if (Decoded == Image.isNull() || (!Decoded && Error.isEmpty())) __builtin_trap();
    if (Decoded && (Image.width() > MaxBannerSide || Image.height() > MaxBannerSide))
        __builtin_trap();
    return 0;
}
