// Banner pictures for the lab's ad server, drawn in code: 468 x 60 ads with a built-in pixel
// font (the lab runs without a display, so there are no system fonts to draw with), and a
// GIF writer of its own since Qt writes no GIF.
#pragma once

#include <QByteArray>
#include <QImage>

enum class TLabBanner { Cup, Scoutly };

constexpr int LabBannerWidth = 468, LabBannerHeight = 60;

// An 8-bit indexed picture with at most 256 colours.
QImage LabBannerPicture(TLabBanner Banner);

// GIF89a of an indexed picture. The LZW stream holds one code per pixel and a clear code
// before the table would grow past 9 bits, which every decoder reads; no compression.
// Empty for a picture that is not 8-bit indexed.
QByteArray LabEncodeGif(const QImage& Picture);

// The picture in a format Qt writes ("JPEG", "PNG"); empty when it cannot.
QByteArray LabEncodeImage(const QImage& Picture, const char* Format);
