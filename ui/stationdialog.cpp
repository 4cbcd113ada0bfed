#include "ui/stationdialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <cmath>

#include "platform/numberformat.h"
#include "platform/services.h"
#include "station/pressurereduction.h"

namespace {

constexpr double kExampleHpa = 1000.0;
constexpr int kMaxSilenceMinutes = 7 * 24 * 60;   // a week

// One numeric field: where it goes, what it is called in a message, its range.
struct NumberField {
    QLineEdit* CStationDialog::*edit;
    double StationSettings::*value;
    const char* name;
    double min;
    double max;
    const char* unit;
};

const NumberField kFields[] = {
    {&CStationDialog::m_elevation, &StationSettings::dElevation, "Wysokość barometru", -500, 9000, "m"},
    {&CStationDialog::m_correction, &StationSettings::dCorrection, "Poprawka", -50, 50, "hPa"},
    {&CStationDialog::m_temperature, &StationSettings::dTemperature, "Temperatura powietrza", -80, 60, "°C"},
    {&CStationDialog::m_alertFall, &StationSettings::dAlertFall, "Alarm spadku", 0, 100, "hPa"},
    {&CStationDialog::m_alertRise, &StationSettings::dAlertRise, "Alarm wzrostu", 0, 100, "hPa"},
    {&CStationDialog::m_alertLow, &StationSettings::dAlertLow, "Alarm niskiego ciśnienia", 0, 2000, "hPa"},
    {&CStationDialog::m_alertHigh, &StationSettings::dAlertHigh, "Alarm wysokiego ciśnienia", 0, 2000, "hPa"},
    {&CStationDialog::m_alertHysteresis, &StationSettings::dAlertHysteresis, "Histereza", 0, 50, "hPa"},
};

QString Fixed(double value, int decimals)
{
    return QString::fromStdString(FormatFixed(value, decimals));
}

// A number as the settings write it: a decimal point, no needless zeros.
QString Plain(double value)
{
    return QString::number(value, 'g', 10);
}

} // namespace

CStationDialog::CStationDialog(QWidget* parent) : CDialog(parent)
{
    setWindowTitle(QStringLiteral("Stacja pomiarowa"));
    const auto number = [this](QFormLayout* form, const QString& label, const QString& unit) {
        auto* edit = new QLineEdit(this);
        auto* row = new QHBoxLayout;
        row->addWidget(edit);
        row->addWidget(new QLabel(unit, this));
        // A row of a layout gets no buddy by itself: the mnemonic needs one.
        auto* name = new QLabel(label, this);
        name->setBuddy(edit);
        form->addRow(name, row);
        return edit;
    };

    auto* station = new QFormLayout;
    m_elevation = number(station, QStringLiteral("&Wysokość barometru n.p.m.:"), QStringLiteral("m"));
    m_correction = number(station, QStringLiteral("&Poprawka kalibracyjna:"), QStringLiteral("hPa"));
    m_reduction = new QComboBox(this);
    m_reduction->addItem(QStringLiteral("bez redukcji"));
    m_reduction->addItem(QStringLiteral("QNH (atmosfera standardowa ICAO)"));
    m_reduction->addItem(QStringLiteral("QFF (wzór hipsometryczny z temperaturą)"));
    station->addRow(QStringLiteral("&Redukcja do poziomu morza:"), m_reduction);
    m_temperature = number(station, QStringLiteral("&Temperatura powietrza (QFF):"), QStringLiteral("°C"));
    m_tendency = new QCheckBox(QStringLiteral("Tendencja &3-godzinna (zmiana i charakterystyka WMO)"), this);
    station->addRow(QString(), m_tendency);

    auto* alertsBox = new QGroupBox(QStringLiteral("Alarmy (0 — wyłączony)"), this);
    auto* alerts = new QFormLayout(alertsBox);
    m_alertFall = number(alerts, QStringLiteral("&Spadek w 3 h o co najmniej:"), QStringLiteral("hPa"));
    m_alertRise = number(alerts, QStringLiteral("W&zrost w 3 h o co najmniej:"), QStringLiteral("hPa"));
    m_alertLow = number(alerts, QStringLiteral("Ciśnienie po&niżej:"), QStringLiteral("hPa"));
    m_alertHigh = number(alerts, QStringLiteral("Ciśnienie p&owyżej:"), QStringLiteral("hPa"));
    m_alertHysteresis = number(alerts, QStringLiteral("&Histereza progów:"), QStringLiteral("hPa"));
    m_alertSilence = new QSpinBox(this);
    m_alertSilence->setRange(0, kMaxSilenceMinutes);
    m_alertSilence->setSuffix(QStringLiteral(" min"));
    m_alertSilence->setSpecialValueText(QStringLiteral("wyłączony"));
    alerts->addRow(QStringLiteral("&Brak odczytu przez:"), m_alertSilence);

    m_preview = new QLabel(this);
    m_preview->setWordWrap(true);
    m_preview->setMinimumWidth(420);
    // Room for two lines, so that the box keeps its size while one types.
    m_preview->setMinimumHeight(2 * m_preview->fontMetrics().lineSpacing());
    m_helpButton = new QPushButton(QStringLiteral("Pomo&c"), this);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Anuluj"), QDialogButtonBox::RejectRole);
    buttons->addButton(m_helpButton, QDialogButtonBox::HelpRole);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(station);
    layout->addWidget(alertsBox);
    layout->addWidget(m_preview);
    layout->addWidget(buttons);

    for (const NumberField& f : kFields)
        connect(this->*f.edit, &QLineEdit::textChanged, this, [this] { UpdatePreview(); });
    connect(m_reduction, &QComboBox::currentIndexChanged, this, [this] { UpdatePreview(); });
    connect(m_helpButton, &QPushButton::clicked, this, [this] { OnHelp(); });
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { OnOK(); });
    connect(buttons, &QDialogButtonBox::rejected, this, [this] { OnCancel(); });
}

BOOL CStationDialog::OnInitDialog()
{
    CDialog::OnInitDialog();
    for (const NumberField& f : kFields)
        (this->*f.edit)->setText(Plain(m_settings.*f.value));
    const int reduction = m_settings.nReduction;
    m_reduction->setCurrentIndex(reduction >= 0 && reduction < m_reduction->count() ? reduction : 0);
    m_tendency->setChecked(m_settings.bTendency != 0);
    m_alertSilence->setValue(m_settings.nAlertSilence);
    UpdatePreview();
    return TRUE;
}

void CStationDialog::OnOK()
{
    QString error;
    QLineEdit* field = nullptr;
    const std::optional<StationSettings> settings = FromFields(&error, &field);
    if (!settings) {
        Services().MessageBox(error, MB_OK | MB_ICONEXCLAMATION);
        if (field) {
            field->setFocus();
            field->selectAll();
        }
        return;
    }
    m_settings = *settings;
    CDialog::OnOK();
}

void CStationDialog::OnHelp()
{
    Services().MessageBox(HelpText(), MB_OK | MB_ICONINFORMATION);
}

std::optional<double> CStationDialog::ParseNumber(const QString& text)
{
    // One decimal sign, a point or a comma; no grouping. The C locale reads
    // the same in every locale the program runs under.
    QString plain = text.trimmed();
    plain.replace(QLatin1Char(','), QLatin1Char('.'));
    plain.replace(QChar(0x2212), QLatin1Char('-'));   // a typographic minus
    bool ok = false;
    const double value = QLocale::c().toDouble(plain, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<StationSettings> CStationDialog::FromFields(QString* error, QLineEdit** field) const
{
    StationSettings s = m_settings;
    s.nReduction = m_reduction->currentIndex();
    for (const NumberField& f : kFields) {
        QLineEdit* edit = this->*f.edit;
        // Only QFF uses the temperature: its field is off, and kept as it was.
        if (f.edit == &CStationDialog::m_temperature && s.nReduction != StationSettings::kQff)
            continue;
        const std::optional<double> value = ParseNumber(edit->text());
        if (!value || *value < f.min || *value > f.max) {
            if (error) {
                *error = QStringLiteral("%1: podaj liczbę od %2 do %3 %4 (z kropką lub przecinkiem dziesiętnym).")
                             .arg(QString::fromUtf8(f.name), Plain(f.min), Plain(f.max), QString::fromUtf8(f.unit));
            }
            if (field)
                *field = edit;
            return std::nullopt;
        }
        s.*f.value = *value;
    }
    // The correction goes in steps of 0.01 hPa.
    s.dCorrection = std::round(s.dCorrection * 100.0) / 100.0;
    if (s.dCorrection == 0.0)
        s.dCorrection = 0.0;   // no "-0"
    s.bTendency = m_tendency->isChecked() ? 1 : 0;
    s.nAlertSilence = m_alertSilence->value();
    return s;
}

void CStationDialog::UpdatePreview()
{
    m_temperature->setEnabled(m_reduction->currentIndex() == StationSettings::kQff);
    m_preview->setText(ComputePreview());
}

QString CStationDialog::PreviewText() const
{
    return m_preview->text();
}

QString CStationDialog::ComputePreview() const
{
    QString error;
    const std::optional<StationSettings> settings = FromFields(&error);
    if (!settings)
        return QStringLiteral("Podgląd: ") + error;
    const double reading = m_readingHpa.value_or(kExampleHpa);
    QString text = m_readingHpa ? QStringLiteral("Bieżący odczyt %1 hPa").arg(Fixed(reading, 2))
                                : QStringLiteral("Przykład (brak bieżącego odczytu): %1 hPa").arg(Fixed(reading, 2));
    const double corrected = reading + settings->dCorrection;
    if (settings->dCorrection != 0.0)
        text += QStringLiteral(", z poprawką %1 hPa").arg(Fixed(corrected, 2));
    const std::optional<double> reduced = Reduce(*settings, corrected);
    if (reduced)
        text += QStringLiteral(" → %1 %2 hPa").arg(QString::fromLatin1(ReductionName(settings->nReduction)),
                                                     Fixed(*reduced, 1));
    else
        text += QStringLiteral(" (bez redukcji)");
    return text;
}

QString CStationDialog::HelpText()
{
    return QStringLiteral(
        "Redukcja ciśnienia do poziomu morza\n"
        "\n"
        "p — odczyt z poprawką kalibracyjną w hPa (odczyt przyrządu podającego Pa jest przeliczany), "
        "h — wysokość barometru nad średnim poziomem morza w metrach, "
        "t — temperatura powietrza przy stacji w °C.\n"
        "\n"
        "QNH według atmosfery standardowej ICAO (Doc 7488, Manual of the ICAO Standard Atmosphere), "
        "bez temperatury:\n"
        "    QNH = p · (1 − 0.0065·h / 288.15)^−5.25588\n"
        "\n"
        "QFF ze wzoru hipsometrycznego (WMO-No. 8, Guide to Instruments and Methods of Observation, "
        "rozdz. „Measurement of atmospheric pressure”), z temperaturą t i standardowym spadkiem "
        "temperatury 0.0065 K/m na połowie wysokości:\n"
        "    QFF = p · exp(g·h / (R·(t + 273.15 + 0.0065·h/2)))\n"
        "    g = 9.80665 m/s² (przyspieszenie normalne), R = 287.05 J/(kg·K) (stała gazowa suchego powietrza)\n"
        "\n"
        "Przykład: 898.76 hPa na wysokości 1000 m to QNH 1013.3 hPa.\n"
        "\n"
        "Tendencja: zmiana ciśnienia w ostatnich 3 godzinach i jej charakterystyka według tabeli kodowej "
        "WMO 0200 (0–8); bez odczytów z pełnych 3 godzin tendencji nie ma.\n"
        "\n"
        "Alarmy: spadek lub wzrost o podaną wartość w 3 godziny, ciśnienie poniżej lub powyżej progu "
        "(wraca po przekroczeniu progu o histerezę), brak prawidłowego odczytu przez podaną liczbę minut. "
        "Każdy alarm odzywa się raz, gdy się zaczyna, i raz, gdy się kończy; 0 wyłącza alarm.");
}

int RunStationCommand(StationSettings& settings, std::optional<double> readingHpa, QWidget* parent,
                      const std::function<int(CStationDialog&)>& run)
{
    CStationDialog dialog(parent);
    dialog.m_settings = settings;
    dialog.m_readingHpa = readingHpa;
    const int result = run ? run(dialog) : dialog.DoModal();
    if (result == IDOK)
        settings = dialog.m_settings;
    return result;
}
