// The response a master server expects to its challenge before it hands out a list.
#pragma once

#include <QByteArray>

// The key every list shares with the master.
inline constexpr char GameKey[] = "QpRtVk";

// Eight Base64 characters from the first six bytes of Challenge (missing bytes count as 0).
QByteArray ComputeValidate(const QByteArray& Challenge, const char* Key = GameKey);
