#pragma once
// CPlotWindow: the main window of km302-plot — the chart, its menus, the
// status bar with the readout and the statistics of the range in view.
//
// The readout of the record under the pointer is a line under the chart; the
// statistics of the range in view fill the status bar.
//
// Files come from the command line, "Plik → Otwórz…" (several at once; they
// replace what is shown) or by dropping them on the window (they are added).
// Each is read in a worker thread (CLogLoader) with a progress bar in the
// status bar. A file that cannot be read is named with its reason in a
// message line above the chart; nothing modal, and what was shown stays.
//
// Follow mode ("Widok → Śledź zmiany pliku"): each file gets a CLogFollower,
// polled when QFileSystemWatcher reports a change and by a 1 s timer (a
// watcher misses changes on some file systems and loses a replaced file), so
// a record appears within a second. It is on by default when a file opened
// was modified in the last minute — KM302 is most likely still writing it.
//
// "Widok → Ciśnienie zredukowane do poziomu morza (QNH)" (or QFF) shows each
// series reduced with the station's elevation (SetStation) instead of the
// station pressure: the two differ by about 0.12 hPa a metre, so on one axis
// beside each other both would be flat lines. Without a known elevation the
// command is disabled and its tooltip says why. The status bar's statistics
// end with the 3-hour change at the record under the pointer, of the series
// shown.
//
// User-interface thread only.

#include <QFileSystemWatcher>
#include <QMainWindow>
#include <QTimer>

#include <memory>
#include <vector>

#include "plot/core/plotstation.h"
#include "plot/view/logloader.h"

class CChartView;
class QAction;
class QLabel;
class QProgressBar;

class CPlotWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit CPlotWindow(QWidget* parent = nullptr);
    ~CPlotWindow() override;

    // With `add` the files join those shown; else they replace them.
    void OpenFiles(const QStringList& paths, bool add);
    // Blocks until every pending read has ended and been shown (tests).
    void WaitForLoads();
    // Writes the range in view; the format follows the suffix. False with a
    // message in the message line when it fails, and with a message box (not
    // modal) and nothing written when the file is one of the logs shown or
    // being read.
    bool ExportVisible(const QString& path);
    void SetFollow(bool on);
    bool IsFollowing() const;
    // The elevation and reduction the reduced view uses; enables its command
    // when the elevation is known (else switches the view off).
    void SetStation(const CPlotStation& station);
    void SetReduced(bool on);
    bool IsReduced() const;
    QAction* ReducedAction() const { return m_reducedAction; }

    CChartView* View() const { return m_view; }
    QString MessageText() const;
    QString StatsLine() const;
    QString ReadoutLine() const;

public slots:
    // Reads what was appended to followed files (the watcher's and the
    // timer's slot).
    void PollFollowers();

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    struct OpenLog {
        int nOrder = 0;          // files are shown in the order they were asked for
        QString strPath;
        std::vector<CPlotSeries> series;
        std::vector<CPlotSeries> reduced;   // the series reduced, while shown so
        std::unique_ptr<CLogFollower> follower;
    };

    void BuildMenus();
    void StartLoad(const QString& path);
    void OnLoaded(CLogLoader* loader, int order);
    void UpdateSeries(bool showAll);
    void UpdateStats();
    void UpdateProgress();
    void ShowMessage(const QString& text);
    void OpenDialog();
    void ExportDialog();

    CChartView* m_view = nullptr;
    QLabel* m_message = nullptr;
    QLabel* m_readout = nullptr;
    QLabel* m_stats = nullptr;
    QProgressBar* m_progress = nullptr;
    QAction* m_followAction = nullptr;
    QAction* m_reducedAction = nullptr;
    CPlotStation m_station;
    QFileSystemWatcher m_watcher;
    QTimer m_followTimer;
    std::vector<std::unique_ptr<OpenLog>> m_logs;
    std::vector<std::unique_ptr<CLogLoader>> m_loaders;
    QStringList m_messages;
    int m_nNextOrder = 0;
};
