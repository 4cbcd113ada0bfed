#include "ui/pressuredisplay.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPixmap>

#include "platform/colorconvert.h"
#include "platform/fontconvert.h"
#include "platform/timerids.h"
#include "ui/displayformat.h"

namespace {

constexpr int kLabelFontHeight = 20;
constexpr int kValueFontHeight = 60;
constexpr unsigned kBlinkPeriodMs = 500;

const QString kNoValueText = QStringLiteral("???");

LOGFONT LabelLogFont()
{
    LOGFONT lf;
    lf.lfHeight = kLabelFontHeight;
    lf.lfCharSet = EASTEUROPE_CHARSET;
    lf.SetFaceName("Arial");
    return lf;
}

QRect ToQRect(const RECT& r)
{
    return QRect(QPoint(r.left, r.top), QSize(r.right - r.left, r.bottom - r.top));
}

}  // namespace

CPressureDisplay::CPressureDisplay(QWidget* parent)
    : QWidget(parent), m_timers([this](unsigned id) { OnTimer(id); })
{
    const LOGFONT label = LabelLogFont();
    m_labelFont = QFontFromLogFont(label);
    m_lfValueFont = label;
    m_lfValueFont.lfHeight = kValueFontHeight;
    m_ownState.SetChangeHandler([this](CDisplayState::Change change) { OnStateChanged(change); });
    // Every pixel is painted from the off-screen buffer: nothing to erase first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::TabFocus);
}

CPressureDisplay::~CPressureDisplay()
{
    if (m_nBlinkTimer != 0)
        m_pTimerHost->KillTimer(m_nBlinkTimer);
}

void CPressureDisplay::SetValue(double value)
{
    m_pState->SetValue(value);
}

void CPressureDisplay::SetNoValue()
{
    m_pState->SetNoValue();
}

void CPressureDisplay::SetUnits(int sourceUnit, int displayUnit, bool showUnit)
{
    m_pState->SetUnits(sourceUnit, displayUnit, showUnit);
}

void CPressureDisplay::SetBlinking(bool on)
{
    m_pState->SetBlinking(on);
}

void CPressureDisplay::UseState(CDisplayState* state)
{
    m_pState->SetChangeHandler({});
    m_pState = state ? state : &m_ownState;
    m_pState->SetChangeHandler([this](CDisplayState::Change change) { OnStateChanged(change); });
    OnStateChanged(CDisplayState::Change::Blinking);
    Redraw();
}

void CPressureDisplay::OnStateChanged(CDisplayState::Change change)
{
    if (change == CDisplayState::Change::Shown) {
        Redraw();
        return;
    }
    if (m_pState->IsBlinking()) {
        if (m_nBlinkTimer == 0)
            m_nBlinkTimer = m_pTimerHost->SetTimer(kBlinkTimerId, kBlinkPeriodMs);
        return;
    }
    if (m_nBlinkTimer != 0)
        m_pTimerHost->KillTimer(m_nBlinkTimer);
    m_nBlinkTimer = 0;
    if (m_bBlinkHidden) {
        m_bBlinkHidden = false;
        Redraw();
    }
}

void CPressureDisplay::SetStationLine(const QString& line)
{
    if (line == m_strStationLine)
        return;
    m_strStationLine = line;
    Redraw();
}

void CPressureDisplay::SetDisplayFont(const LOGFONT& lf)
{
    m_lfValueFont = lf;
    m_valueFont = std::make_unique<QFont>(QFontFromLogFont(m_lfValueFont));
    setFont(*m_valueFont);
    Redraw();
}

void CPressureDisplay::CreateValueFont()
{
    m_valueFont = std::make_unique<QFont>(QFontFromLogFont(m_lfValueFont));
}

void CPressureDisplay::OnTimer(unsigned id)
{
    // A tick that outlived SetBlinking(false) must not hide the value for good.
    if (id != kBlinkTimerId || m_nBlinkTimer == 0)
        return;
    m_bBlinkHidden = !m_bBlinkHidden;
    Redraw();
}

void CPressureDisplay::SetTimerHost(ITimerHost& host)
{
    m_pTimerHost = &host;
}

void CPressureDisplay::Redraw()
{
    repaint();
}

void CPressureDisplay::paintEvent(QPaintEvent*)
{
    ++m_nPaintCount;
    // 1. The value in the display unit.
    const CDisplayState& state = *m_pState;
    m_dDisplayedValue = ConvertUnit(state.GetRawValue(), state.GetSourceUnit(), state.GetDisplayUnit());
    // 2. The client rectangle.
    const RECT client = {0, 0, width(), height()};
    // 3. Everything is drawn off screen and copied in one step, so no state
    //    change flickers.
    const qreal ratio = devicePixelRatioF();
    QPixmap buffer(size() * ratio);
    buffer.setDevicePixelRatio(ratio);
    {
        QPainter painter(&buffer);
        const QColor textColour = QColorFromColorRef(m_crText);
        const QColor backgroundColour = QColorFromColorRef(m_crBackground);
        // 4. Background.
        painter.fillRect(ToQRect(client), backgroundColour);
        // 5. Label band: letters in the background colour on the text colour.
        painter.setFont(m_labelFont);
        const RECT band = LabelBandRect(client, painter.fontMetrics().height());
        painter.fillRect(ToQRect(band), textColour);
        painter.setPen(backgroundColour);
        painter.drawText(ToQRect(band), Qt::AlignCenter | Qt::TextSingleLine, m_strLabel);
        // 6. The hidden blink phase shows background and label band only.
        const RECT valueArea = ValueAreaRect(client, band);
        if (m_bBlinkHidden)
            m_strValueText.clear();
        else
            PaintValue(painter, valueArea);
        // 6.1 The station's line at the foot of the value area, in every
        //     blink phase: the label font in the text colour.
        m_strDrawnStationLine = m_strStationLine;
        if (!m_strStationLine.isEmpty()) {
            painter.setFont(m_labelFont);
            painter.setPen(textColour);
            const int lineHeight = painter.fontMetrics().height();
            const QRect line(valueArea.left, valueArea.bottom - lineHeight - lineHeight / 4,
                             valueArea.right - valueArea.left, lineHeight);
            painter.drawText(line, Qt::AlignCenter | Qt::TextSingleLine, m_strStationLine);
        }
    }
    // 10. One copy to the screen.
    QPainter(this).drawPixmap(0, 0, buffer);
}

void CPressureDisplay::PaintValue(QPainter& painter, const RECT& valueArea)
{
    // 7. Value font and text colour.
    painter.setFont(m_valueFont ? *m_valueFont : font());
    painter.setPen(QColorFromColorRef(m_crText));
    constexpr int kCentred = Qt::AlignCenter | Qt::TextSingleLine;
    // 8. No value.
    const CDisplayState& state = *m_pState;
    if (state.HasNoValue()) {
        m_strValueText = kNoValueText;
        painter.drawText(ToQRect(valueArea), kCentred, m_strValueText);
        return;
    }
    // 9. The value in the format of its unit.
    m_strValueText = FormatDisplayValue(m_dDisplayedValue, state.GetDisplayUnit(), state.IsUnitShown(),
                                        state.IsFineResolution());
    if (state.GetDisplayUnit() != kUnitWattsPerSquareMetre || !state.IsUnitShown()) {
        painter.drawText(ToQRect(valueArea), kCentred, m_strValueText);
        return;
    }
    // 9.1 to 9.4: "W/m" and a raised "2" where the full text would stand.
    const QRect measured = painter.fontMetrics().boundingRect(
        QRect(0, 0, width(), height()), Qt::TextSingleLine, m_strValueText);
    const WattsLayout layout = LayoutWattsText(valueArea, measured.width(), measured.height());
    painter.save();
    painter.setClipRect(ToQRect(valueArea));
    painter.drawText(ToQRect(layout.text), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                     WattsTextWithoutExponent(m_dDisplayedValue));
    painter.drawText(ToQRect(layout.exponent), kCentred, WattsExponentText());
    painter.restore();
}
