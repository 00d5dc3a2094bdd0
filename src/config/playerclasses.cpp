#include "config/playerclasses.h"

namespace {
const char* const Models[ModelCount] = {"Warrior", "Ranger", "Mage", "Rogue",
                                        "Cleric",  "Golem",  "Shade"};

// Ten slots per model; empty slots are unused.
const char* const Skins[ModelCount * SkinSlots] = {
    "Ironclad",  "Crimson", "Ashen",     "Highlander", "Bronze",  "Nightwatch", "Frostborn",
    "Sunguard",  "Veteran", "Warlord", // Warrior
    "Greenwood", "Hawkeye", "Dusk",      "Stalker",    "Autumn",  "Tracker",    "Moss",
    "Wayfarer",  "",        "",          "Arcane",     "Ember",   "Tidecaller", "Stormweaver",
    "Sage",      "Violet",  "Runebound", "",           "",        "",           "Shadow",
    "Cutpurse",  "Viper",   "Smoke",     "Harlequin",  "Raven",   "Duskblade",  "Masked",
    "",          "",        "Dawn",      "Pilgrim",    "Templar", "Mercy",      "Ivory",
    "Zealot",    "Oracle",  "Warden",    "Lantern",    "",        "Granite",    "",
    "",          "",        "",          "",           "",        "",           "",
    "", // Golem
    "",          "",        "",          "",           "",        "",           "",
    "",          "",        "", // Shade: no skins of its own
};
} // namespace

QStringList MorrowModels() {
    QStringList Result;
    for (const char* Model : Models)
        Result << QString::fromLatin1(Model);
    return Result;
}

QStringList MorrowModelSkins(int ModelIndex) {
    QStringList Result;
    if (ModelIndex < 0 || ModelIndex >= ModelCount) return Result;
    for (int Slot = 0; Slot < SkinSlots; ++Slot)
        if (const char* Skin = Skins[ModelIndex * SkinSlots + Slot]; *Skin)
            Result << QString::fromLatin1(Skin);
    return Result;
}
