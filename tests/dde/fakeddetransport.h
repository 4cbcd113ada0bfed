#pragma once
// CFakeDdeTransport: a transport that records what the server asks of it, in
// order, as readable lines ("Initialize", "NameService register
// pl.km302.KM302", "PostAdvise Ciśnienie#1234 Wynik", "Uninitialize"), fails
// on request, and hands the test's transactions to the server's callback as
// the real one hands the clients'. Test thread only.

#include <QString>
#include <QStringList>

#include "dde/ddetransport.h"

class CFakeDdeTransport : public IDdeTransport {
public:
    std::uint32_t Initialize(IDdeCallback& callback) override;
    bool NameService(const HSZ& service, unsigned command) override;
    bool OwnsName(const HSZ& service) override { return !m_heldElsewhere.contains(service); }
    bool PostAdvise(const HSZ& topic, const HSZ& item) override;
    bool Uninitialize() override;

    // A transaction from a client; no data while not initialised.
    DdeReply Transact(unsigned type, unsigned format, const HSZ& hsz1, const HSZ& hsz2);

    bool m_bFailInitialize = false;
    bool m_bFailNameService = false;
    QStringList m_heldElsewhere;   // names another program holds: registered, not owned
    QStringList m_calls;

private:
    IDdeCallback* m_pCallback = nullptr;
    std::uint32_t m_nextId = 0;
};
