#pragma once
// One line on the standard error for each thing the user must be told when no
// window shows it: the message boxes of a desktop session and everything the
// headless program reports. Every run of white space (line breaks too) becomes
// one blank, so a message is always one line.
//
// On a terminal or in a file the line reads "km302: <text>". When the
// standard error is the systemd journal (JOURNAL_STREAM names the device and
// inode of file descriptor 2) the journal adds the program's name itself, so
// the line carries only the priority prefix the journal understands
// ("<3>" error, "<4>" warning, "<6>" information) and the text.
//
// Any thread; each line is one write.

#include <QString>

enum class ReportPriority { Error = 3, Warning = 4, Info = 6 };

void WriteReportLine(const QString& text, ReportPriority priority);
// The line as WriteReportLine writes it, newline included; `toJournal` picks
// the form.
QByteArray ReportLineBytes(const QString& text, ReportPriority priority, bool toJournal);
// Whether the standard error is the journal's stream (checked once).
bool StandardErrorIsJournal();
