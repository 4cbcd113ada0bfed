#pragma once
// The help page (KM302.html, topics as anchors "topic<N>") and whether the
// desktop has anything that can show it.
//
// HelpPagePath: <program dir>/../share/km302/help/KM302.html when installed,
// else the source tree's res/help/KM302.html; empty when neither exists.
//
// HtmlViewerAvailable: whether a program that shows HTML is there to take the
// page, judged from the environment given (PATH, BROWSER, HOME, XDG_DATA_HOME,
// XDG_DATA_DIRS) and the files it names; no program is run. True for
//   - a command of $BROWSER (a ':'-separated list) that exists,
//   - x-www-browser on PATH (Debian's alternative for graphical browsers),
//   - an application entry (<data dir>/applications/**.desktop) that handles
//     text/html, runs without a terminal, is not hidden and whose program
//     (TryExec, else the first word of Exec) exists.
// Without one, the desktop's handler (xdg-open) may still report success and
// hand the page to whatever takes text files, a terminal editor even.

#include <QProcessEnvironment>
#include <QString>
#include <QUrl>

QString HelpPagePath();
QUrl HelpPageUrl(const QString& page, int topic);
bool HtmlViewerAvailable(const QProcessEnvironment& environment);
