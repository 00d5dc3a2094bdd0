// The lab's web server for portal content: banner pictures of every kind a banner strip
// must cope with, the news ticker document and a page for clicks, by path on loopback.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMap>
#include <QObject>

class TLabHttpServer;

struct TLabDocument {
    QByteArray Type, Body;
    QList<QByteArray> Cycle; // non-empty: each request gets the next of these paths' documents
};

// What leads the GIF at /banner.gif: 20 bytes, none of them starting "GIF".
extern const QByteArray LabGifJunk;

class TLabWebServer : public QObject {
    Q_OBJECT
public:
    explicit TLabWebServer(QObject* Parent = nullptr);

    bool Listen(quint16 Port = 0); // 0: a free port
    quint16 Port() const;
    QByteArray Url(const QByteArray& Path) const; // http://127.0.0.1:PORT + Path

    // Once listening, as the links in them name the port:
    //   /banner.gif   a GIF ad after LabGifJunk       /banner-late.gif  the GIF after 160 bytes
    //   /banner.jpg   a JPEG ad                       /banner.png       a PNG ad
    //   /banner.html  an HTML page                    /banner           .gif and .jpg in turn
    //   /click, /news the page a click opens          /ticker.txt       the news ticker document
    void AddDemoDocuments();

    QMap<QByteArray, TLabDocument> Documents; // by path; the query string plays no part
    QList<QByteArray> Requests() const { return FRequests; } // targets as asked, query included

signals:
    void Served();

private:
    TLabHttpServer* FHttp;
    QList<QByteArray> FRequests;
    QHash<QByteArray, int> FTurns;
};
