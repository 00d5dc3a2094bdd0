// Banner pictures as the ad server sends them: a GIF, possibly behind a few bytes of junk, or a
// JPEG, decoded from memory. Anything else, and anything too big or broken, is refused without
// touching more memory than the limits below allow.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QImage>
#include <QList>
#include <QString>

enum TBannerFormat { bfNone, bfGif, bfJpeg };

struct TBannerSniff {
    TBannerFormat Format = bfNone;
    qsizetype Offset = 0; // where the picture starts in the document
};

// What one banner may cost. The decoded limit covers all frames of an animation together.
constexpr qsizetype MaxBannerBytes = 4 * 1024 * 1024;
constexpr int MaxBannerSide = 4096;
constexpr qint64 MaxBannerDecodedBytes = 64 * 1024 * 1024;
constexpr int MaxBannerFrames = 500;
// A banner period from the message server below this would have the ad server asked nonstop.
constexpr int MinBannerInterval = 10000;

struct TBannerImage {
    QList<QImage> Frames; // all the size of the first
    QList<int> Delays;    // ms each frame stays, one per frame
    bool isNull() const { return Frames.isEmpty(); }
};

// "GIF" at the start, a JPEG start of image, or "GIF" a little way in (some servers put text
// before the picture).
TBannerSniff SniffBanner(QByteArrayView Data);

// Each returns false with Error said and Image empty when the data is not a picture it can
// show within the limits.
bool DecodeGif(QByteArrayView Data, TBannerImage& Image, QString& Error);
bool DecodeJpeg(QByteArrayView Data, QImage& Image, QString& Error);
// Sniffs, then decodes from where the picture starts: "Invalid banner graphic" for anything
// that is neither a GIF nor a JPEG.
bool DecodeBanner(QByteArrayView Data, TBannerImage& Image, QString& Error);

// "?", a random number 0..9999 and the tick count, never the same as Previous: the request
// and the click carry it so the ad server can tie a click to the banner it served.
QByteArray NewBannerSuffix(const QByteArray& Previous);
// The period between banners, Interval unless that is too short to be sane.
int BannerPeriod(int Interval);
