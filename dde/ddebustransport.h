#pragma once
// CDdeBusTransport: the DDE server's transport over the D-Bus session bus.
//
//   Initialize       a fresh connection to the session bus, under a new
//                    connection name each time: QDBusConnection::sessionBus()
//                    would remember a failed connection, and a bus that
//                    appears later must be used. No bus: 0.
//   NameService      exports the object /pl/km302/KM302 with the interface
//                    pl.km302.KM302.Dde (CDdeAdaptor) with the first name, and
//                    asks the bus for each well-known name with queueing and
//                    without replacing its holder: a name another program
//                    holds comes to this one as soon as it is freed (the bus
//                    hands it on), so two programs share the plain name one
//                    after the other. Only a refused request fails (the object
//                    is withdrawn again when it was the first name).
//                    Unregistering releases every name (and every place in a
//                    line), withdraws the object and ends every link.
//   OwnsName         asks the bus who holds the name now.
//   PostAdvise       broadcasts the signal Advise(topic, item, text) once when
//                    at least one client holds a link to the item, and notes
//                    the item's text when it has changed.
//   PublishChanges   sends one PropertiesChanged with every text noted since
//                    the last one (a frame changes "Wynik" and "Pomiar"
//                    together: one message on the bus, not two).
//   Alert            broadcasts the signal Alert(kind, active, text) while
//                    registered.
//   Uninitialize     ends the links and closes the connection.
//
// Conversations: every method call of a client is one transaction handed to
// the server's callback (CF_TEXT is the format D-Bus clients ask in). Hot links
// belong to the calling client's unique name; they end with AdviseStop, with
// the client's disconnection (NameOwnerChanged) and with the registration.
// The advise that answers an AdviseStart goes out after its reply.
//
// Owned by the server; lives and is called on one thread, the one that runs
// its event loop (the user-interface thread in the program). Method calls
// from clients are delivered through that loop, so the server's state is
// never read concurrently.

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <memory>
#include <utility>
#include <vector>

#include "dde/ddetransport.h"

class CDdeAdaptor;
class QDBusServiceWatcher;

class CDdeBusTransport : public QObject, public IDdeTransport, protected QDBusContext {
    Q_OBJECT
public:
    static const char* const kObjectPath;       // "/pl/km302/KM302"
    static const char* const kInterface;        // "pl.km302.KM302.Dde"
    static const char* const kErrorNotServed;   // "pl.km302.KM302.Error.NotServed"

    CDdeBusTransport();
    ~CDdeBusTransport() override;

    std::uint32_t Initialize(IDdeCallback& callback) override;
    bool NameService(const HSZ& service, unsigned command) override;
    bool OwnsName(const HSZ& service) override;
    bool PostAdvise(const HSZ& topic, const HSZ& item) override;
    void PublishChanges() override;
    void Alert(const QString& kind, bool active, const QString& text) override;
    bool Uninitialize() override;

    // The calls of CDdeAdaptor, one per method and property of the interface.
    QStringList Topics();
    bool Connect(const QString& topic);
    QString Request(const QString& topic, const QString& item);
    bool AdviseStart(const QString& topic, const QString& item);
    bool AdviseStop(const QString& topic, const QString& item);
    QString Topic();
    QString ItemText(const QString& item);

private:
    struct Link {
        QString client;     // the client's unique connection name
        QString topicKey;   // DdeNameKey of the names it linked
        QString itemKey;
    };

    DdeReply Transact(unsigned type, const HSZ& hsz1, const HSZ& hsz2);
    bool AddLink(const QString& client, const QString& topic, const QString& item);
    bool RemoveLink(const QString& client, const QString& topic, const QString& item);
    bool HasLink(const QString& topic, const QString& item) const;
    bool IsClientLinked(const QString& client) const;
    void WatchClient(const QString& client);
    void DropClient(const QString& client);
    void DropAllLinks();
    void PublishItem(const HSZ& item);
    void FlushAdvises();

    CDdeAdaptor* m_pAdaptor;   // child of this object
    IDdeCallback* m_pCallback = nullptr;
    std::uint32_t m_idInst = 0;
    QString m_strConnectionName;
    QDBusConnection m_connection;
    std::unique_ptr<QDBusServiceWatcher> m_clientWatcher;
    QString m_strService;                              // the first name; empty while unregistered
    QStringList m_names;                               // every name asked for, the first included
    std::vector<Link> m_links;
    std::vector<std::pair<QString, QString>> m_published;   // item property, its last text
    QVariantMap m_unpublished;                         // changed texts not yet announced
    bool m_bAnswering = false;                         // inside a client's transaction
    std::vector<std::pair<HSZ, HSZ>> m_pendingAdvises;  // posted while answering
};
