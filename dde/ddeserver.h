#pragma once
// CDdeServer: publishes the instrument's measurement as the DDE service
// "KM302" (on Linux the D-Bus name pl.km302.KM302, see CDdeBusTransport) so
// that spreadsheets and monitoring programs can request the values or keep hot
// links to them.
//
// Names: one topic, "Ciśnienie#<serial number>" (string 118 joined with the
// number by "%s#%li"), and the items "Wynik", "Pomiar", "Status" (strings
// 119-121). Names compare without regard to case; CF_TEXT is the only format
// served. The texts come from what the pressure field shows (IDdeDisplay,
// ddeitemtext.h). Further items of the same topic (IDdeExtraItems) are served
// while the program lists them.
//
// Bus names: the service "pl.km302.KM302", which clients connect to, and the
// instrument's own "pl.km302.KM302.SN<serial number>" (same object, same
// interface), so that several programs, each reading its own instrument,
// serve side by side: the first of them holds the plain name, the others wait
// in line for it and take it over when it is freed. The instrument's own name
// held by another program is a conflict (Register says so); it too is taken
// over once freed.
//
// The measurement (CMeterCore) registers the server when communication turns
// good (with the serial number of that reading), withdraws it when
// communication is lost, and calls AdviseAll at the end of every Refresh; the
// windowed program also withdraws it when its window is destroyed.
//
// Owned by CMeterCore, which also owns the state that m_pDisplay points at;
// the state must outlive the registration. The server owns its transport.
// User-interface thread only.

#include <QString>

#include <memory>

#include "dde/ddedisplay.h"
#include "dde/ddeextraitems.h"
#include "dde/ddetransport.h"
#include "platform/wintypes.h"

class CDdeServer : private IDdeCallback {
public:
    explicit CDdeServer(std::unique_ptr<IDdeTransport> transport);
    virtual ~CDdeServer();
    CDdeServer(const CDdeServer&) = delete;
    CDdeServer& operator=(const CDdeServer&) = delete;

    // kRegistered: serving, the instrument's own name held (the plain name
    // held or waited for). kOwnNameHeldElsewhere: serving, but another
    // program holds the instrument's own name; it comes to this server when
    // freed. 0 when already registered, when there is nothing to connect to,
    // or when a name cannot be asked for; a failed Register leaves the server
    // unregistered and disconnected, so the next Register tries afresh.
    static constexpr int kRegistered = 1;
    static constexpr int kOwnNameHeldElsewhere = 2;
    int Register(long serialNumber);
    // Withdraws the service and ends every link; harmless when not registered
    // (returns 1 then). Returns whether the disconnection succeeded.
    int Unregister();
    // While registered: posts an advise for each item, so every hot link gets
    // the current text, changed or not; then the texts that changed are
    // announced together.
    void AdviseAll();
    // While registered: tells the service's clients that an alert started
    // (active) or ended (the transport's Alert signal).
    void Alert(const QString& kind, bool active, const QString& text);

    // Set by the program to the state its pressure field shows; read by every
    // item text. While it is null, requests get no data.
    const IDdeDisplay* m_pDisplay = nullptr;
    // Set by the program that has more items to serve; null: none.
    const IDdeExtraItems* m_pExtraItems = nullptr;

private:
    DdeReply DdeCallback(unsigned type, unsigned format, const HSZ& hsz1, const HSZ& hsz2) override;
    bool TopicMatches(const HSZ& hsz) const;
    // 0..2 the three items, from 3 on the extra items listed now; -1 for a
    // name that is not served.
    int ItemIndex(const HSZ& hsz) const;
    QStringList ExtraItemNames() const;
    bool IsServed(unsigned format, const HSZ& topic, const HSZ& item) const;
    DdeReply ItemData(const HSZ& item) const;

    std::unique_ptr<IDdeTransport> m_transport;
    QString m_strService;
    QString m_strOwnServiceBase;
    QString m_strTopicBase;
    QString m_strItems[3];
    HSZ m_hszService;
    HSZ m_hszOwnService;
    HSZ m_hszTopic;
    HSZ m_hszItems[3];
    DWORD m_idInst = 0;
};
