#include "plot/view/plotwindow.h"

#include <QAction>
#include <QDateTime>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QStatusBar>
#include <QVBoxLayout>

#include "plot/view/chartexport.h"
#include "plot/view/chartview.h"
#include "plot/core/exporttarget.h"
#include "plot/core/rangestats.h"
#include "plot/core/threehourchange.h"
#include "plot/text/statstext.h"

namespace {
// A file written to this recently is most likely still being recorded.
constexpr qint64 kRecentMs = 60'000;
}  // namespace

CPlotWindow::CPlotWindow(QWidget* parent) : QMainWindow(parent)
{
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_message = new QLabel(central);
    m_message->setWordWrap(true);
    m_message->setStyleSheet(QStringLiteral("QLabel { background: #fdecea; color: #8a1c12; "
                                            "padding: 6px; }"));
    m_message->hide();
    m_view = new CChartView(central);
    m_readout = new QLabel(central);
    m_readout->setContentsMargins(8, 2, 8, 2);
    // Keeps its height while the pointer is off the chart and it is empty.
    m_readout->setMinimumHeight(m_readout->fontMetrics().height() + 4);
    layout->addWidget(m_message);
    layout->addWidget(m_view, 1);
    layout->addWidget(m_readout);
    setCentralWidget(central);

    m_stats = new QLabel(this);
    m_progress = new QProgressBar(this);
    m_progress->setMaximumWidth(160);
    m_progress->hide();
    statusBar()->addWidget(m_stats, 1);
    statusBar()->addPermanentWidget(m_progress);

    connect(m_view, &CChartView::RangeChanged, this, &CPlotWindow::UpdateStats);
    connect(m_view, &CChartView::Readout, m_readout, &QLabel::setText);
    // The 3-hour change follows the pointer.
    connect(m_view, &CChartView::Readout, this, &CPlotWindow::UpdateStats);
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, &CPlotWindow::PollFollowers);
    connect(&m_followTimer, &QTimer::timeout, this, &CPlotWindow::PollFollowers);
    m_followTimer.setInterval(1000);

    BuildMenus();
    SetStation(m_station);
    setAcceptDrops(true);
    setWindowTitle(QStringLiteral("km302-plot"));
    resize(1000, 600);
    m_view->setFocus();
}

CPlotWindow::~CPlotWindow() = default;

void CPlotWindow::BuildMenus()
{
    QMenu* file = menuBar()->addMenu(QStringLiteral("&Plik"));
    file->addAction(QStringLiteral("&Otwórz…"), QKeySequence::Open, this, &CPlotWindow::OpenDialog);
    file->addAction(QStringLiteral("&Eksportuj…"), QKeySequence(Qt::CTRL | Qt::Key_E), this,
                    &CPlotWindow::ExportDialog);
    file->addSeparator();
    file->addAction(QStringLiteral("&Zakończ"), QKeySequence::Quit, this, &QWidget::close);

    QMenu* view = menuBar()->addMenu(QStringLiteral("&Widok"));
    view->addAction(QStringLiteral("Pokaż &wszystko"), QKeySequence(Qt::Key_Home), m_view,
                    &CChartView::ShowAll);
    view->addAction(QStringLiteral("Po&większ"), QKeySequence::ZoomIn, this, [this] {
        m_view->ZoomAt(m_view->width() / 2.0, 0.5);
    });
    view->addAction(QStringLiteral("Po&mniejsz"), QKeySequence::ZoomOut, this, [this] {
        m_view->ZoomAt(m_view->width() / 2.0, 2.0);
    });
    view->addSeparator();
    m_followAction = view->addAction(QStringLiteral("Śledź &zmiany pliku"));
    m_followAction->setCheckable(true);
    connect(m_followAction, &QAction::toggled, this, &CPlotWindow::SetFollow);
    m_reducedAction = view->addAction(QString());
    m_reducedAction->setCheckable(true);
    connect(m_reducedAction, &QAction::toggled, this, [this] { UpdateSeries(false); });
    // The tooltip of the reduced view says why it is off or what it uses.
    view->setToolTipsVisible(true);

    QMenu* help = menuBar()->addMenu(QStringLiteral("Pomo&c"));
    help->addAction(QStringLiteral("&O programie"), this, [this] {
        QMessageBox::about(this, QStringLiteral("O programie"),
                           QStringLiteral("km302-plot %1\nWykres ciśnienia z dzienników KM302 "
                                          "(.vrd oraz tekstowych i CSV).")
                               .arg(QStringLiteral(KM302_VERSION)));
    });
}

void CPlotWindow::OpenFiles(const QStringList& paths, bool add)
{
    if (!add) {
        m_loaders.clear();
        m_logs.clear();
        if (!m_watcher.files().isEmpty())
            m_watcher.removePaths(m_watcher.files());
        UpdateSeries(true);
    }
    m_messages.clear();
    ShowMessage(QString());
    const QDateTime now = QDateTime::currentDateTimeUtc();
    bool recent = false;
    for (const QString& path : paths) {
        const QFileInfo info(path);
        recent = recent || (info.isFile() && info.lastModified().toUTC().msecsTo(now) < kRecentMs);
    }
    // Set before the loads start, so that they read with followers at once.
    // New files decide alone; added ones may only turn following on, and
    // then for the files already shown too.
    if (add && recent && !IsFollowing()) {
        SetFollow(true);
    } else if (!add && recent != IsFollowing()) {
        const QSignalBlocker block(m_followAction);
        m_followAction->setChecked(recent);
        if (recent)
            m_followTimer.start();
        else
            m_followTimer.stop();
    }
    for (const QString& path : paths)
        StartLoad(path);
}

void CPlotWindow::StartLoad(const QString& path)
{
    std::erase_if(m_loaders, [](const auto& l) { return l->IsDone(); });
    auto loader = std::make_unique<CLogLoader>();
    CLogLoader* raw = loader.get();
    connect(raw, &CLogLoader::Progress, this, [this, raw](int percent) {
        raw->setProperty("percent", percent);
        UpdateProgress();
    });
    const int order = m_nNextOrder++;
    connect(raw, &CLogLoader::Loaded, this, [this, raw, order] { OnLoaded(raw, order); });
    m_loaders.push_back(std::move(loader));
    raw->Start(path, IsFollowing());
}

void CPlotWindow::WaitForLoads()
{
    for (size_t i = 0; i < m_loaders.size(); ++i) {
        if (!m_loaders[i]->IsDone())
            m_loaders[i]->Wait();
    }
}

void CPlotWindow::OnLoaded(CLogLoader* loader, int order)
{
    LoadedLog& r = loader->Result();
    UpdateProgress();
    if (!r.strError.isEmpty()) {
        ShowMessage(r.strError);
        return;
    }
    if (r.nDamaged > 0)
        ShowMessage(QStringLiteral("„%1”: pominięto uszkodzone rekordy (%2).")
                        .arg(r.strPath).arg(r.nDamaged));
    auto log = std::make_unique<OpenLog>();
    log->nOrder = order;
    log->strPath = r.strPath;
    log->series = std::move(r.series);
    // Follow mode may have been turned off while this file was read.
    if (IsFollowing())
        log->follower = std::move(r.follower);
    if (log->follower && log->series.empty())
        ShowMessage(QStringLiteral("Plik „%1” nie zawiera jeszcze zapisów pomiaru; nowe pojawią "
                                   "się na wykresie.").arg(log->strPath));
    if (log->follower) {
        m_watcher.addPath(log->strPath);
        m_followTimer.start();
    }
    const auto at = std::find_if(m_logs.begin(), m_logs.end(),
                                 [order](const auto& l) { return l->nOrder > order; });
    m_logs.insert(at, std::move(log));
    UpdateSeries(true);
}

void CPlotWindow::UpdateSeries(bool showAll)
{
    std::vector<const CPlotSeries*> series;
    QStringList names, files;
    const bool reduced = IsReduced();
    for (const auto& log : m_logs) {
        files << QFileInfo(log->strPath).fileName();
        if (!reduced) {
            log->reduced.clear();
            for (const CPlotSeries& s : log->series) {
                series.push_back(&s);
                names << CChartRenderer::SeriesName(s);
            }
            continue;
        }
        log->reduced.resize(log->series.size());
        for (size_t i = 0; i < log->series.size(); ++i) {
            m_station.Follow(log->series[i], log->reduced[i]);
            series.push_back(&log->reduced[i]);
            names << QStringLiteral("%1 — %2").arg(CChartRenderer::SeriesName(log->series[i]), m_station.Name());
        }
    }
    setWindowTitle(files.isEmpty() ? QStringLiteral("km302-plot")
                                   : QStringLiteral("km302-plot — %1").arg(files.join(QStringLiteral(", "))));
    m_view->SetSeries(std::move(series), names, showAll);
    UpdateStats();
}

void CPlotWindow::UpdateStats()
{
    std::vector<RangeStats> stats;
    for (const CPlotSeries* s : m_view->Data().series)
        // The view is open at its end, the statistics closed.
        stats.push_back(StatsInRange(*s, m_view->RangeStart(), m_view->RangeEnd() - 1));
    QString text = stats.empty() ? QString() : StatsText(stats);
    const CChartView::Nearest at = m_view->AtPointer();
    if (at.series)
        text += QStringLiteral(" · %1").arg(ThreeHourChangeText(ThreeHourChangeAt(*at.series, at.nIndex)));
    m_stats->setText(text);
}

void CPlotWindow::SetStation(const CPlotStation& station)
{
    m_station = station;
    const StationSettings& st = station.m_settings;
    m_reducedAction->setText(QStringLiteral("Ciśnienie &zredukowane do poziomu morza (%1)").arg(station.Name()));
    m_reducedAction->setEnabled(station.m_bElevationKnown);
    if (!station.m_bElevationKnown)
        m_reducedAction->setToolTip(QStringLiteral(
            "Nieznana wysokość barometru: ustaw ją w KM302 (sekcja [STATION], ELEVATION) "
            "albo podaj opcją --elevation"));
    else if (st.nReduction == StationSettings::kQff)
        m_reducedAction->setToolTip(QStringLiteral("QFF dla wysokości %1 m n.p.m. i temperatury %2 °C")
                                        .arg(st.dElevation).arg(st.dTemperature));
    else
        m_reducedAction->setToolTip(QStringLiteral("QNH (atmosfera wzorcowa ICAO) dla wysokości %1 m n.p.m.")
                                        .arg(st.dElevation));
    // A view reduced with other figures is made again (toggled does it when
    // the view is switched off).
    for (auto& log : m_logs)
        log->reduced.clear();
    if (!station.m_bElevationKnown && IsReduced())
        m_reducedAction->setChecked(false);
    else
        UpdateSeries(false);
}

void CPlotWindow::SetReduced(bool on)
{
    if (m_reducedAction->isEnabled())
        m_reducedAction->setChecked(on);
}

bool CPlotWindow::IsReduced() const
{
    return m_reducedAction->isChecked();
}

void CPlotWindow::UpdateProgress()
{
    int busy = 0, sum = 0, pending = 0;
    for (const auto& l : m_loaders) {
        if (l->IsDone())
            continue;
        ++pending;
        const int p = l->property("percent").toInt();
        busy += p < 0;
        sum += std::max(p, 0);
    }
    m_progress->setVisible(pending > 0);
    if (pending == 0)
        return;
    m_progress->setRange(0, busy > 0 ? 0 : 100);
    m_progress->setValue(sum / pending);
}

void CPlotWindow::ShowMessage(const QString& text)
{
    if (!text.isEmpty() && !m_messages.contains(text))
        m_messages << text;
    m_message->setText(m_messages.join(QLatin1Char('\n')));
    m_message->setVisible(!m_messages.isEmpty());
}

QString CPlotWindow::MessageText() const
{
    return m_message->text();
}

QString CPlotWindow::StatsLine() const
{
    return m_stats->text();
}

QString CPlotWindow::ReadoutLine() const
{
    return m_readout->text();
}

bool CPlotWindow::IsFollowing() const
{
    return m_followAction->isChecked();
}

void CPlotWindow::SetFollow(bool on)
{
    if (m_followAction->isChecked() != on) {
        // Comes back here through toggled.
        m_followAction->setChecked(on);
        return;
    }
    if (!on) {
        m_followTimer.stop();
        if (!m_watcher.files().isEmpty())
            m_watcher.removePaths(m_watcher.files());
        for (auto& log : m_logs)
            log->follower.reset();
        return;
    }
    m_followTimer.start();
    // A follower knows where it stopped reading only after its own first
    // read: the files shown are read again, in the background, with one.
    QStringList paths;
    for (const auto& log : m_logs)
        paths << log->strPath;
    m_logs.clear();
    UpdateSeries(false);
    for (const QString& path : paths)
        StartLoad(path);
}

void CPlotWindow::PollFollowers()
{
    bool grew = false;
    for (auto& log : m_logs) {
        if (!log->follower)
            continue;
        QString error;
        grew = log->follower->Poll(log->series, &error) || grew;
        if (!error.isEmpty())
            ShowMessage(error);
        // A file replaced by another of the same name is no longer watched.
        if (!m_watcher.files().contains(log->strPath) && QFileInfo(log->strPath).isFile())
            m_watcher.addPath(log->strPath);
    }
    if (!grew)
        return;
    // Poll may have added a series and moved the others in memory.
    UpdateSeries(false);
    m_view->Refresh(true);
}

bool CPlotWindow::ExportVisible(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    CPlotOptions::Format format = CPlotOptions::Format::Png;
    if (suffix == QLatin1String("svg"))
        format = CPlotOptions::Format::Svg;
    else if (suffix == QLatin1String("csv"))
        format = CPlotOptions::Format::Csv;
    else if (suffix != QLatin1String("png")) {
        ShowMessage(QStringLiteral("Nieznany format eksportu „%1”: wybierz .png, .svg lub .csv")
                        .arg(path));
        return false;
    }
    QStringList inputs;
    for (const auto& log : m_logs)
        inputs << log->strPath;
    for (const auto& loader : m_loaders)
        inputs << loader->Result().strPath;
    const QString refusal = CExportTarget::Refusal(path, inputs);
    if (!refusal.isEmpty()) {
        // Not modal: the window (and a follow mode) goes on meanwhile.
        auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Eksportuj"), refusal,
                                    QMessageBox::Ok, this);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
        return false;
    }
    QString error;
    if (!CChartExport::Save(path, format, m_view->Data(), m_view->size(), error)) {
        ShowMessage(error);
        return false;
    }
    statusBar()->showMessage(QStringLiteral("Zapisano „%1”").arg(path), 5000);
    return true;
}

void CPlotWindow::OpenDialog()
{
    const QStringList paths = QFileDialog::getOpenFileNames(
        this, QStringLiteral("Otwórz dzienniki"), QString(),
                // Rotated logs too: "cisnienie.vrd.1", "cisnienie.txt.2.gz".
        QStringLiteral("Dzienniki KM302 (*.vrd *.txt *.csv *.log *.vrd.* *.txt.* *.csv.* *.log.*);;"
                       "Wszystkie pliki (*)"));
    if (!paths.isEmpty())
        OpenFiles(paths, false);
}

void CPlotWindow::ExportDialog()
{
    QString filter;
    QString path = QFileDialog::getSaveFileName(
        this, QStringLiteral("Eksportuj widoczny zakres"), QString(),
        QStringLiteral("Obraz PNG (*.png);;Rysunek SVG (*.svg);;Rekordy CSV (*.csv)"), &filter);
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += filter.contains(QLatin1String("svg")) ? QStringLiteral(".svg")
                : filter.contains(QLatin1String("csv")) ? QStringLiteral(".csv")
                                                        : QStringLiteral(".png");
    ExportVisible(path);
}

void CPlotWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void CPlotWindow::dropEvent(QDropEvent* event)
{
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile())
            paths << url.toLocalFile();
    }
    if (!paths.isEmpty()) {
        OpenFiles(paths, true);
        event->acceptProposedAction();
    }
}
