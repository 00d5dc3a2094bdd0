#include "labweb.h"

#include "labbanner.h"
#include "labhttp.h"

const QByteArray LabGifJunk = "AD-SERVER 4.2 OK\r\n\r\n";

namespace {

QByteArray Page(const QByteArray& Home) {
    return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Scoutly "
           "Lab</title></head>\n"
           "<body style=\"font-family: sans-serif; background: #1a1f4d; color: #eee\">\n"
           "<h1 style=\"color: #f0be28\">Morrow CTF Cup</h1>\n"
           "<p>Qualifiers tonight on Frosthold CTF and Keep of Ash. Sign up with your clan.</p>\n"
           "<p>This page comes from the Scoutly lab's web server at " +
           Home + ".</p>\n</body></html>\n";
}

// Lines above the last "REG" are an old section the ticker never shows.
QByteArray Ticker(const QByteArray& News) {
    return "Yesterday's news that the ticker drops\n"
           "REG\n"
           "Welcome to the Scoutly lab news ticker\n"
           "Morrow CTF Cup qualifiers tonight - sign up with your clan\n" +
           News +
           "\n"
           "Patch 3.1.4: faster refreshes and a busier chat\n"
           "Server of the week: Frosthold CTF\n";
}

} // namespace

TLabWebServer::TLabWebServer(QObject* Parent) : QObject(Parent), FHttp(new TLabHttpServer(this)) {
    FHttp->OnRequest = [this](const QByteArray& Target) -> TLabHttpReply {
        FRequests.append(Target);
        const QByteArray Path = Target.contains('?') ? Target.left(Target.indexOf('?')) : Target;
        TLabHttpReply Reply{404, "text/plain", "no document at " + Path + '\n'};
        if (const auto Found = Documents.constFind(Path); Found != Documents.cend()) {
            const TLabDocument* Document = &*Found;
            if (!Document->Cycle.isEmpty()) {
                int& Turn = FTurns[Path];
                Document = nullptr;
                const auto Next = Documents.constFind(Found->Cycle[Turn++ % Found->Cycle.size()]);
                if (Next != Documents.cend()) Document = &*Next;
            }
            if (Document) Reply = {200, Document->Type, Document->Body};
        }
        emit Served();
        return Reply;
    };
}

bool TLabWebServer::Listen(quint16 Port) {
    return FHttp->Listen(Port);
}

quint16 TLabWebServer::Port() const {
    return FHttp->Port();
}

QByteArray TLabWebServer::Url(const QByteArray& Path) const {
    return "http://127.0.0.1:" + QByteArray::number(Port()) + Path;
}

void TLabWebServer::AddDemoDocuments() {
    const QByteArray Gif = LabEncodeGif(LabBannerPicture(TLabBanner::Cup));
    Documents["/banner.gif"] = {"image/gif", LabGifJunk + Gif, {}};
    Documents["/banner-late.gif"] = {"image/gif", QByteArray(160, '.') + Gif, {}};
    Documents["/banner.jpg"] = {
        "image/jpeg", LabEncodeImage(LabBannerPicture(TLabBanner::Scoutly), "JPEG"), {}};
    Documents["/banner.png"] = {
        "image/png", LabEncodeImage(LabBannerPicture(TLabBanner::Cup), "PNG"), {}};
    Documents["/banner"] = {{}, {}, {"/banner.gif", "/banner.jpg"}};
    const TLabDocument Html{"text/html; charset=utf-8", Page(Url("/")), {}};
    for (const char* Path : {"/banner.html", "/click", "/news"})
        Documents[Path] = Html;
    Documents["/ticker.txt"] = {"text/plain", Ticker(Url("/news")), {}};
}
