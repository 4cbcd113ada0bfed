#pragma once
// Discovery of the machine's serial ports and the port list text that the port
// dialog shows. Free functions without state; ListPorts runs on the wait
// dialog's worker thread.
//
// The port table has one entry per port number: entry i stands for COM(i+1)
// and is empty (std::nullopt) when the port is not present, an empty string
// when it is present without a description, or its description.
//
// The list text has one line per present port in ascending number, each ended
// by "\n": "COM%u" without a description, "COM%u:%s" with one. A description
// that ends in " (COM<number>)" is cut before the " (COM".

#include <QString>

#include <array>
#include <optional>

using PortTable = std::array<std::optional<QString>, 256>;

// Lists the serial devices the system knows (QSerialPortInfo, through the port
// map) into the table. Returns 1 when the enumeration ran.
int EnumeratePorts(PortTable& table, int size);

// Marks as present every port whose mapped path opens as a terminal; all of
// them with probeAll, otherwise only the entries still empty. Returns 1.
int ProbePorts(PortTable& table, int size, int probeAll);

// The list text of a filled table (steps shared by ListPorts and the tests).
QString PortListText(const PortTable& table, int& count);

// Enumerates, probes what enumeration did not find (all numbers when it could
// not run) and builds the list text. Returns 1.
int ListPorts(int& count, QString& text);

// "COM5:Port" → "COM5 (Port)"; a line without a colon stays as it is.
QString PortEntryFromLine(const QString& line);
