#include "plot/text/plotoptions.h"

#include <QDateTime>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTimeZone>

#include <cmath>

std::optional<qint64> CPlotOptions::ParseTime(const QString& text, bool endOfDay)
{
    const QString t = text.trimmed();
    const QDate date = QDate::fromString(t, QStringLiteral("yyyy-MM-dd"));
    if (date.isValid()) {
        const QDateTime start(date, QTime(0, 0), QTimeZone::utc());
        return endOfDay ? start.addDays(1).toMSecsSinceEpoch() - 1 : start.toMSecsSinceEpoch();
    }
    for (const char* format : {"yyyy-MM-ddTHH:mm:ss", "yyyy-MM-dd HH:mm:ss", "yyyy-MM-ddTHH:mm",
                               "yyyy-MM-dd HH:mm"}) {
        QDateTime dt = QDateTime::fromString(t, QString::fromLatin1(format));
        if (dt.isValid()) {
            dt.setTimeZone(QTimeZone::utc());
            return dt.toMSecsSinceEpoch();
        }
    }
    return std::nullopt;
}

CPlotOptions CPlotOptions::Parse(const QStringList& args)
{
    CPlotOptions o;
    bool help = false, version = false, optionsEnded = false;
    for (qsizetype i = 0; i < args.size() && o.m_strError.isEmpty(); ++i) {
        QString arg = args[i];
        if (optionsEnded || !arg.startsWith(QLatin1String("-")) || arg == QLatin1String("-")) {
            o.m_files << arg;
            continue;
        }
        if (arg == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            help = true;
            continue;
        }
        if (arg == QLatin1String("--version")) {
            version = true;
            continue;
        }
        QString value;
        const qsizetype eq = arg.indexOf(QLatin1Char('='));
        if (eq > 0) {
            value = arg.mid(eq + 1);
            arg.truncate(eq);
        }
        static const QStringList kValued{QStringLiteral("--export"), QStringLiteral("--from"),
                                         QStringLiteral("--to"), QStringLiteral("--size"),
                                         QStringLiteral("--elevation"), QStringLiteral("--reduction"),
                                         QStringLiteral("--temperature")};
        if (!kValued.contains(arg)) {
            o.m_strError = QStringLiteral("Nieznana opcja: %1").arg(args[i]);
            break;
        }
        if (eq < 0) {
            if (i + 1 >= args.size()) {
                o.m_strError = QStringLiteral("Opcja %1 wymaga wartości").arg(arg);
                break;
            }
            value = args[++i];
        }
        if (arg == QLatin1String("--export")) {
            o.m_strExport = value;
            const QString suffix = QFileInfo(value).suffix().toLower();
            if (suffix == QLatin1String("png"))
                o.m_format = Format::Png;
            else if (suffix == QLatin1String("svg"))
                o.m_format = Format::Svg;
            else if (suffix == QLatin1String("csv"))
                o.m_format = Format::Csv;
            else
                o.m_strError = QStringLiteral("Nieznany format eksportu „%1”: plik musi mieć "
                                              "rozszerzenie .png, .svg lub .csv").arg(value);
        } else if (arg == QLatin1String("--size")) {
            static const QRegularExpression kSize(QStringLiteral("^(\\d{1,5})[xX](\\d{1,5})$"));
            const auto m = kSize.match(value);
            const int w = m.hasMatch() ? m.captured(1).toInt() : 0;
            const int h = m.hasMatch() ? m.captured(2).toInt() : 0;
            if (w < 100 || h < 100 || w > 10000 || h > 10000)
                o.m_strError = QStringLiteral("Zły rozmiar „%1”: podaj SZEROKOŚĆxWYSOKOŚĆ "
                                              "od 100 do 10000 pikseli, np. 1200x600").arg(value);
            else
                o.m_size = QSize(w, h);
        } else if (arg == QLatin1String("--elevation") || arg == QLatin1String("--temperature")) {
            const bool elevation = arg == QLatin1String("--elevation");
            const double min = elevation ? CPlotStation::kMinElevation : CPlotStation::kMinTemperature;
            const double max = elevation ? CPlotStation::kMaxElevation : CPlotStation::kMaxTemperature;
            bool ok = false;
            // A decimal point in every locale.
            const double v = value.trimmed().toDouble(&ok);
            if (!ok || !std::isfinite(v) || v < min || v > max)
                o.m_strError = (elevation ? QStringLiteral("Zła wysokość „%1”: podaj metry nad poziomem "
                                                           "morza od %2 do %3, np. 540.5")
                                          : QStringLiteral("Zła temperatura „%1”: podaj °C od %2 do %3, "
                                                           "np. 12.5"))
                                   .arg(value).arg(min).arg(max);
            else
                (elevation ? o.m_elevation : o.m_temperature) = v;
        } else if (arg == QLatin1String("--reduction")) {
            const QString kind = value.trimmed().toLower();
            if (kind == QLatin1String("qnh"))
                o.m_reduction = StationSettings::kQnh;
            else if (kind == QLatin1String("qff"))
                o.m_reduction = StationSettings::kQff;
            else
                o.m_strError = QStringLiteral("Zła redukcja „%1”: podaj qnh albo qff").arg(value);
        } else {
            const bool to = arg == QLatin1String("--to");
            const auto t = ParseTime(value, to);
            if (!t)
                o.m_strError = QStringLiteral("Zły czas „%1”: podaj np. 2024-03-05T14:07:09 "
                                              "lub 2024-03-05").arg(value);
            else
                (to ? o.m_to : o.m_from) = t;
        }
    }
    if (!o.m_strError.isEmpty())
        return o;
    if (help) {
        o.m_action = Action::Help;
    } else if (version) {
        o.m_action = Action::Version;
    } else if (!o.m_strExport.isEmpty()) {
        o.m_action = Action::Export;
        if (o.m_files.isEmpty())
            o.m_strError = QStringLiteral("Eksport wymaga co najmniej jednego pliku dziennika");
    } else if (o.m_from || o.m_to || o.m_size != QSize(1200, 600)) {
        o.m_strError = QStringLiteral("Opcje --from, --to i --size działają tylko z --export");
    }
    if (o.m_strError.isEmpty() && o.m_from && o.m_to && *o.m_to < *o.m_from)
        o.m_strError = QStringLiteral("Czas --to jest wcześniejszy niż --from");
    return o;
}

CPlotStation CPlotOptions::Station(CPlotStation fromFile) const
{
    if (m_elevation) {
        fromFile.m_settings.dElevation = *m_elevation;
        fromFile.m_bElevationKnown = true;
    }
    if (m_reduction)
        fromFile.m_settings.nReduction = *m_reduction;
    if (m_temperature)
        fromFile.m_settings.dTemperature = *m_temperature;
    return fromFile;
}

QString CPlotOptions::Usage()
{
    return QStringLiteral(
        "Użycie: km302-plot [REDUKCJA] [PLIK...]\n"
        "        km302-plot --export WYJŚCIE.png|.svg|.csv [--from CZAS] [--to CZAS]\n"
        "                   [--size SZEROKOŚĆxWYSOKOŚĆ] [REDUKCJA] PLIK...\n"
        "REDUKCJA: [--reduction qnh|qff] [--elevation M] [--temperature C]\n"
        "\n"
        "Pokazuje wykres ciśnienia z dzienników KM302 (.vrd oraz tekstowych/CSV).\n"
        "\n"
        "Opcje:\n"
        "  --export PLIK   zapisuje wykres (PNG, SVG) lub rekordy (CSV) zakresu i kończy,\n"
        "                  bez okna i bez ekranu\n"
        "  --from CZAS     początek zakresu, np. 2024-03-05T14:07:09 albo 2024-03-05\n"
        "  --to CZAS       koniec zakresu (sama data: do końca tego dnia)\n"
        "  --size WxH      rozmiar obrazu w pikselach (domyślnie 1200x600)\n"
        "  --reduction qnh|qff\n"
        "                  pokazuje (i eksportuje) ciśnienie zredukowane do poziomu morza:\n"
        "                  QNH (atmosfera wzorcowa ICAO) albo QFF (z temperaturą powietrza)\n"
        "  --elevation M   wysokość barometru w metrach n.p.m. (od -500 do 9000); bez niej\n"
        "                  ELEVATION z sekcji [STATION] pliku KM302.ini\n"
        "  --temperature C temperatura powietrza dla QFF w °C (domyślnie TEMPERATURE\n"
        "                  z [STATION], a bez niej 15)\n"
        "  --help          pokazuje ten opis\n"
        "  --version       pokazuje wersję programu\n"
        "\n"
        "Kod wyjścia: 0 gdy się udało, 1 gdy pliku nie da się odczytać lub zapisać\n"
        "albo w zakresie nie ma zapisów, 2 przy błędnych opcjach (także --reduction bez\n"
        "znanej wysokości) lub gdy plik wyjściowy jest jednym z czytanych dzienników.\n");
}
