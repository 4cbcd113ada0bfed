#pragma once
// The DDE vocabulary that CDdeServer and its transport speak: transaction
// types, the one clipboard format served, the name-service commands and the
// service/topic pair of a wildcard connect. The values are DDEML's, so the
// server's transaction table reads as it always has.
//
// A string handle (HSZ) is the name itself; an empty string is the null
// handle. Handles compare without regard to case (ddenames.h).

#include <QString>

#include <cstdint>
#include <vector>

constexpr unsigned CF_TEXT = 1;

constexpr unsigned XTYP_ADVSTART = 0x1030;
constexpr unsigned XTYP_CONNECT = 0x1062;
constexpr unsigned XTYP_ADVREQ = 0x2022;
constexpr unsigned XTYP_REQUEST = 0x20B0;
constexpr unsigned XTYP_WILDCONNECT = 0x20E2;
constexpr unsigned XTYP_ADVSTOP = 0x8040;

constexpr unsigned DNS_REGISTER = 0x0001;
constexpr unsigned DNS_UNREGISTER = 0x0002;

using HSZ = QString;

struct HSZPAIR {
    HSZ hszSvc;
    HSZ hszTopic;
};

// What a transaction returns. `result` is the callback's non-zero/zero answer
// (yes or no, or whether a data handle came back); `text` is the CF_TEXT data
// of a request or advise request; `pairs` the service/topic pairs of a
// wildcard connect (the closing {0, 0} record is the end of the vector).
struct DdeReply {
    bool result = false;
    QString text;
    std::vector<HSZPAIR> pairs;
};
