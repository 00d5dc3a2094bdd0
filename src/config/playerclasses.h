// The game's player models and, per model, its skins: what the launcher asks the game to use.
#pragma once

#include <QStringList>

inline constexpr int ModelCount = 7;
inline constexpr int SkinSlots = 10;

QStringList MorrowModels();
// The non-empty skin slots of a model, in slot order; none for an index out of range.
QStringList MorrowModelSkins(int ModelIndex);
