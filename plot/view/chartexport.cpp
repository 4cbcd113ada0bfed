#include "plot/view/chartexport.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QSaveFile>
#include <QSvgGenerator>

#include "plot/core/csvexport.h"

namespace {

QByteArray Png(const ChartData& data, QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        CChartRenderer::Paint(painter, image.rect(), data);
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QByteArray Svg(const ChartData& data, QSize size)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator generator;
    generator.setOutputDevice(&buffer);
    generator.setSize(size);
    generator.setViewBox(QRect(QPoint(0, 0), size));
    generator.setTitle(QStringLiteral("Ciśnienie"));
    generator.setDescription(QStringLiteral("km302-plot"));
    {
        QPainter painter(&generator);
        CChartRenderer::Paint(painter, QRect(QPoint(0, 0), size), data);
    }
    return bytes;
}

QString Reason(QFileDevice::FileError e)
{
    switch (e) {
    case QFileDevice::PermissionsError: return QStringLiteral("brak uprawnień");
    case QFileDevice::OpenError: return QStringLiteral("nie można go utworzyć (czy folder istnieje?)");
    case QFileDevice::WriteError: return QStringLiteral("błąd zapisu (czy dysk nie jest pełny?)");
    default: return QStringLiteral("błąd systemu plików");
    }
}

}  // namespace

bool CChartExport::Save(const QString& path, CPlotOptions::Format format, const ChartData& data,
                        QSize size, QString& error)
{
    QByteArray bytes;
    switch (format) {
    case CPlotOptions::Format::Png: bytes = Png(data, size); break;
    case CPlotOptions::Format::Svg: bytes = Svg(data, size); break;
    // ExportCsv's range is closed; the chart's is open at its end.
    case CPlotOptions::Format::Csv: bytes = ExportCsv(data.series, data.t0, data.t1 - 1); break;
    }
    QSaveFile file(path);
    if (bytes.isEmpty() || !file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()
        || !file.commit()) {
        error = QStringLiteral("Nie można zapisać pliku „%1”: %2")
                    .arg(path, bytes.isEmpty() ? QStringLiteral("nie powstał obraz")
                                               : Reason(file.error()));
        return false;
    }
    return true;
}
