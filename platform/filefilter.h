#pragma once
// The Windows file chooser's conventions, translated for QFileDialog.
//
// A Windows filter is "Name|pattern|Name|pattern||": pairs of a display name
// and patterns separated by ';'. Qt wants one "Name (pattern pattern)" entry
// per pair. A parenthesised pattern list (with * or ?) at the end of a Windows name
// ("Plik tekstowy (*.txt)") is replaced by the real patterns so that it does
// not show twice. An empty name shows the patterns; a pair without patterns
// or a name without its pattern at the end is left out.
//
// Pure functions; any thread.

#include <QString>
#include <QStringList>

QStringList QtNameFiltersFromWindows(const QString& windowsFilter);

// The 1-based index of `selected` among `filters`, as the Windows chooser
// reports the selected filter; 1 when it is not found, 0 without filters.
int FilterIndexOf(const QStringList& filters, const QString& selected);
// The filter to select at the start for a 1-based Windows index; the first
// for an index out of range, empty without filters.
QString FilterAtIndex(const QStringList& filters, int index);

// Offset of the extension (after its dot) in `path`, as the Windows chooser
// reports it; 0 when the file name has none: no dot, a dot at the end, or
// only the leading dot of a hidden file's name.
int ExtensionOffset(const QString& path);
