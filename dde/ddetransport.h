#pragma once
// What CDdeServer needs from the platform, in the shape of the DDE Management
// Library it was written against: an instance that connects (DdeInitialize),
// a service name registered and withdrawn (DdeNameService), hot links posted
// (DdePostAdvise), and the disconnection (DdeUninitialize). The transport
// keeps the conversations and the links; the server only answers the
// transactions it is handed through IDdeCallback.
//
// CDdeBusTransport carries this over the D-Bus session bus; the tests use a
// recording fake. User-interface thread only.

#include "dde/ddetypes.h"

class IDdeCallback {
public:
    // One transaction, as DDEML hands it to a server's callback: hsz1 is the
    // topic, hsz2 the service (connects) or the item (everything else).
    virtual DdeReply DdeCallback(unsigned type, unsigned format, const HSZ& hsz1, const HSZ& hsz2) = 0;

protected:
    ~IDdeCallback() = default;
};

class IDdeTransport {
public:
    virtual ~IDdeTransport() = default;

    // Connects; returns the instance id (never 0), or 0 when there is nothing
    // to connect to. From then on until Uninitialize, transactions reach
    // `callback`, which must outlive the instance.
    virtual std::uint32_t Initialize(IDdeCallback& callback) = 0;
    // DNS_REGISTER: makes the server reachable under `service` too (an
    // instance may have several names; the first is the one clients connect
    // to). True when the name is had or this instance waits in line for it
    // (another program holds it: it comes to this one once freed, without
    // replacing anyone); false when it cannot be asked for.
    // DNS_UNREGISTER: withdraws every name of the instance (`service` is its
    // first) and ends every link.
    virtual bool NameService(const HSZ& service, unsigned command) = 0;
    // After a DNS_REGISTER of `service`: whether this instance holds it now
    // (false while another program does).
    virtual bool OwnsName(const HSZ& service) = 0;
    // For a (topic, item) that has at least one hot link, asks the callback
    // for its text with XTYP_ADVREQ and delivers it to the linked clients.
    virtual bool PostAdvise(const HSZ& topic, const HSZ& item) = 0;
    // Tells watchers, at once, of every item text that the advises since the
    // last call changed (a transport without such notices does nothing).
    virtual void PublishChanges() {}
    // Tells every client of the registered service that an alert started or
    // ended (a transport without signals does nothing).
    virtual void Alert(const QString& kind, bool active, const QString& text)
    {
        (void)kind, (void)active, (void)text;
    }
    // Ends every conversation and link and disconnects; true on success.
    virtual bool Uninitialize() = 0;
};
