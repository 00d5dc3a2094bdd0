// The GIF decoder on its own: every frame composed within the banner limits.
#include "fuzzcommon.h"
#include "portal/banner.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    TBannerImage Image;
    QString Error;
    if (DecodeGif(QByteArrayView(Data, qsizetype(Size)), Image, Error)) {
        if (Image.Frames.size() != Image.Delays.size()) __builtin_trap();
        for (const QImage& Frame : Image.Frames)
            if (Frame.size() != Image.Frames.first().size()) __builtin_trap();
    } else if (!Image.isNull() || Error.isEmpty()) {
        __builtin_trap();
    }
    return 0;
}
