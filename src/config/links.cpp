#include "config/links.h"

#include "config/settingsstore.h"

const std::array<TLinkDefault, 13>& LinkDefaults() {
    static const std::array<TLinkDefault, 13> Defaults{{
        {lkBanner,
         "banner",
         {"http://ads.scoutly.example/banner?", "http://ads.scoutly.example/click?", ""}},
        {lkCompany, "company", {"", "http://www.morrowgame.example/", "Morrow Official Site"}},
        {lkScoutly, "scoutly", {"", "http://www.scoutly.example/", "Powered by Scoutly"}},
        {lkHelp, "help", {"", "http://www.scoutly.example/help/", ""}},
        {lkDownload, "download", {"", "http://www.scoutly.example/download/", ""}},
        {lkFeedback, "feedback", {"", "http://www.scoutly.example/feedback/", ""}},
        {lkScroller, "scroller", {"", "http://www.scoutly.example/ticker.txt", ""}},
        {lkSkins, "skins", {"", "http://www.scoutly.example/skins/", ""}},
        {lkLb1,
         "lb1",
         {"Morrow Central", "http://www.morrowcentral.example/", "News, guides and maps"}},
        {lkLb1 + 1,
         "lb2",
         {"Clan Hall", "http://www.clanhall.example/", "Find a clan, start a war"}},
        {lkLb1 + 2, "lb3", {"Map Forge", "http://www.mapforge.example/", "Custom maps every week"}},
        {lkLb1 + 3,
         "lb4",
         {"Frag Report", "http://www.fragreport.example/", "Ladders and tournament news"}},
        {lkLb1 + 4,
         "lb5",
         {"Scoutly News", "http://www.scoutly.example/news/", "What is new in Scoutly"}},
    }};
    return Defaults;
}

QStringList LinkValueNames() {
    QStringList Names;
    for (const TLinkDefault& Link : LinkDefaults())
        for (const char* Part : {"text", "url", "hint"})
            Names << QLatin1String(Link.Name) + QLatin1String(Part);
    return Names;
}

TLink LoadLink(const TRegistry& Registry, const QString& Key, const QString& Name,
               const TLink& Default) {
    const QString Text = Registry.ReadString(Key, Name + "text");
    if (Text.isEmpty()) return Default;
    return {Text, Registry.ReadString(Key, Name + "url"), Registry.ReadString(Key, Name + "hint")};
}

void LoadLinks(const TRegistry& Registry, const QString& Key, TLinks& Links, int& BannerInterval) {
    for (const TLinkDefault& Entry : LinkDefaults())
        Links[Entry.Index] = LoadLink(Registry, Key, Entry.Name, Entry.Default);
    const QString Interval = Registry.ReadString(Key, "bannerinterval");
    bool Ok = false;
    const int Value = Interval.toInt(&Ok);
    if (Ok) BannerInterval = Value;
}
