#pragma once
// CStationDialog "Stacja pomiarowa": the reading as a weather station reads
// it, the [STATION] settings: the barometer's elevation, the calibration
// correction, the reduction to sea level (none, QNH, QFF) with the air
// temperature QFF uses, the 3-hour tendency, and the alerts (fall, rise, low,
// high, hysteresis, minutes of silence; 0 switches one off).
//
// Numbers are typed with a decimal point or a decimal comma, whatever the
// locale; the settings hold plain numbers. A line under the fields previews
// the reading reduced with the fields as they stand, at each keystroke: the
// window's current reading when there is one, else an example of 1000.0 hPa
// that says it is one. "Pomoc" shows the formulas and their sources.
//
// The caller fills m_settings (and the reading) and runs DoModal; OK checks
// every field and takes them into m_settings, or says which one is out of its
// range and stays open. RunStationCommand is the whole command.
// User-interface thread; made on the stack.

#include <QString>

#include <functional>
#include <optional>

#include "platform/dialog.h"
#include "station/stationsettings.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

class CStationDialog : public CDialog {
    Q_OBJECT
public:
    explicit CStationDialog(QWidget* parent = nullptr);

    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnHelp();

    // The preview line as it stands.
    QString PreviewText() const;
    static QString HelpText();

    // A number as typed: a decimal point or comma, spaces around; nothing
    // when it is not a finite number.
    static std::optional<double> ParseNumber(const QString& text);

    StationSettings m_settings;
    // The instrument's current reading in hPa, as it sent it (without the
    // correction); nothing when there is none and the preview uses an example.
    std::optional<double> m_readingHpa;

    QLineEdit* m_elevation = nullptr;
    QLineEdit* m_correction = nullptr;
    QComboBox* m_reduction = nullptr;
    QLineEdit* m_temperature = nullptr;
    QCheckBox* m_tendency = nullptr;
    QLineEdit* m_alertFall = nullptr;
    QLineEdit* m_alertRise = nullptr;
    QLineEdit* m_alertLow = nullptr;
    QLineEdit* m_alertHigh = nullptr;
    QLineEdit* m_alertHysteresis = nullptr;
    QSpinBox* m_alertSilence = nullptr;
    QPushButton* m_helpButton = nullptr;

private:
    // The fields as settings; on a bad field, its message and the field.
    std::optional<StationSettings> FromFields(QString* error = nullptr, QLineEdit** field = nullptr) const;
    void UpdatePreview();
    QString ComputePreview() const;

    QLabel* m_preview = nullptr;
};

// The command "Stacja pomiarowa…": with IDOK the dialog's settings replace
// `settings`. `readingHpa` is the current reading for the preview. `run` runs
// the dialog (DoModal when empty; tests script it). Returns the dialog's result.
int RunStationCommand(StationSettings& settings, std::optional<double> readingHpa, QWidget* parent = nullptr,
                      const std::function<int(CStationDialog&)>& run = {});
