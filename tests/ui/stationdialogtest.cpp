#include <QComboBox>
#include <QCheckBox>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSpinBox>

#include <clocale>
#include <string>
#include <tuple>

#include <gtest/gtest.h>

#include "tests/support/scriptedservices.h"
#include "ui/stationdialog.h"

namespace {

// The command gives the settings to the fields and takes them back only with
// OK; the temperature is only open for QFF. Under the Polish locale a decimal
// comma is taken as well as a point, and the settings hold the plain number.
TEST(StationDialogTest, TheCommandTakesTheSettingsOnlyWithOkWithADecimalPointOrComma)
{
    const std::string oldLocale = std::setlocale(LC_ALL, nullptr);
    ASSERT_NE(std::setlocale(LC_ALL, "pl_PL.UTF-8"), nullptr) << "scripts/install-deps generates pl_PL.UTF-8";
    QLocale::setDefault(QLocale(QLocale::Polish, QLocale::Poland));
    CScriptedServices services;
    StationSettings settings;
    settings.dElevation = 540;
    settings.nReduction = StationSettings::kQnh;
    settings.dAlertLow = 990;
    const auto edit = [](CStationDialog& d) {
        d.OnInitDialog();
        EXPECT_EQ(QStringLiteral("540"), d.m_elevation->text());
        EXPECT_EQ(QStringLiteral("990"), d.m_alertLow->text());
        EXPECT_EQ(StationSettings::kQnh, d.m_reduction->currentIndex());
        EXPECT_FALSE(d.m_temperature->isEnabled());
        d.m_elevation->setText(QStringLiteral("1200,5"));
        d.m_correction->setText(QStringLiteral(" -0,304 "));
        d.m_reduction->setCurrentIndex(StationSettings::kQff);
        EXPECT_TRUE(d.m_temperature->isEnabled());
        d.m_temperature->setText(QStringLiteral("-5"));
        d.m_tendency->setChecked(true);
        d.m_alertFall->setText(QStringLiteral("3.5"));
        d.m_alertSilence->setValue(15);
    };
    EXPECT_EQ(IDCANCEL, RunStationCommand(settings, std::nullopt, nullptr, [&](CStationDialog& d) {
                  edit(d);
                  d.OnCancel();
                  return d.result();
              }));
    EXPECT_EQ(540, settings.dElevation);
    EXPECT_EQ(StationSettings::kQnh, settings.nReduction);

    EXPECT_EQ(IDOK, RunStationCommand(settings, std::nullopt, nullptr, [&](CStationDialog& d) {
                  edit(d);
                  d.OnOK();
                  return d.result();
              }));
    std::setlocale(LC_ALL, oldLocale.c_str());
    QLocale::setDefault(QLocale::c());
    StationSettings expected;
    expected.dElevation = 1200.5;
    expected.dCorrection = -0.30;
    expected.nReduction = StationSettings::kQff;
    expected.dTemperature = -5;
    expected.bTendency = 1;
    expected.dAlertFall = 3.5;
    expected.dAlertLow = 990;
    expected.nAlertSilence = 15;
    EXPECT_EQ(expected, settings);
    EXPECT_TRUE(services.MessageBoxes().empty());
}

// The preview reduces the reading with the fields as they are typed: the
// current reading when there is one, else an example that says so. "Pomoc"
// gives the formulas.
TEST(StationDialogTest, ThePreviewFollowsTypingAndHelpGivesTheFormulas)
{
    CScriptedServices services;
    CStationDialog dialog;
    dialog.m_readingHpa = 898.76;
    dialog.OnInitDialog();
    EXPECT_TRUE(dialog.PreviewText().contains(QStringLiteral("bez redukcji"))) << dialog.PreviewText().toStdString();
    dialog.m_reduction->setCurrentIndex(StationSettings::kQnh);
    dialog.m_elevation->setText(QStringLiteral("1000"));
    // The ICAO standard atmosphere: 898.76 hPa at 1000 m is 1013.25 hPa at sea level.
    EXPECT_TRUE(dialog.PreviewText().contains(QStringLiteral("898.76 hPa → QNH 1013.3 hPa")))
        << dialog.PreviewText().toStdString();
    dialog.m_correction->setText(QStringLiteral("1.24"));
    EXPECT_TRUE(dialog.PreviewText().contains(QStringLiteral("z poprawką 900.00 hPa → QNH 1014.7 hPa")))
        << dialog.PreviewText().toStdString();
    dialog.m_elevation->setText(QStringLiteral("10000"));
    EXPECT_TRUE(dialog.PreviewText().contains(QStringLiteral("Wysokość barometru")))
        << dialog.PreviewText().toStdString();

    CStationDialog example;
    example.OnInitDialog();
    example.m_reduction->setCurrentIndex(StationSettings::kQff);
    example.m_elevation->setText(QStringLiteral("500"));
    EXPECT_TRUE(example.PreviewText().startsWith(QStringLiteral("Przykład")));
    EXPECT_TRUE(example.PreviewText().contains(QStringLiteral("1000.00 hPa → QFF 1060.7 hPa")))
        << example.PreviewText().toStdString();

    example.m_helpButton->click();
    ASSERT_EQ(1u, services.MessageBoxes().size());
    const QString help = services.MessageBoxes()[0].text;
    EXPECT_TRUE(help.contains(QStringLiteral("QNH = p · (1 − 0.0065·h / 288.15)^−5.25588")));
    EXPECT_TRUE(help.contains(QStringLiteral("QFF = p · exp(g·h / (R·(t + 273.15 + 0.0065·h/2)))")));
}

// A value out of its range, or not a number, is refused with a message that
// names the field and its range; the dialog stays open and nothing is taken.
TEST(StationDialogTest, OutOfRangeInputIsRefusedWithAClearMessage)
{
    CScriptedServices services;
    StationSettings settings;
    for (const auto& [field, text, message] :
         {std::tuple{&CStationDialog::m_elevation, "9000.5", "Wysokość barometru: podaj liczbę od -500 do 9000 m"},
          std::tuple{&CStationDialog::m_correction, "1,2,3", "Poprawka: podaj liczbę od -50 do 50 hPa"},
          std::tuple{&CStationDialog::m_alertFall, "-1", "Alarm spadku: podaj liczbę od 0 do 100 hPa"}}) {
        services.ClearRecord();
        EXPECT_NE(IDOK, RunStationCommand(settings, std::nullopt, nullptr, [&](CStationDialog& d) {
                      d.OnInitDialog();
                      d.m_reduction->setCurrentIndex(StationSettings::kQnh);
                      (d.*field)->setText(QString::fromUtf8(text));
                      d.OnOK();
                      return d.result();
                  }));
        ASSERT_EQ(1u, services.MessageBoxes().size()) << text;
        EXPECT_TRUE(services.MessageBoxes()[0].text.startsWith(QString::fromUtf8(message)))
            << services.MessageBoxes()[0].text.toStdString();
        EXPECT_EQ(StationSettings(), settings);
    }
}

} // namespace
