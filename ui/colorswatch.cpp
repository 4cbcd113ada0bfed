#include "ui/colorswatch.h"

#include <QMouseEvent>
#include <QPainter>

#include "platform/colorconvert.h"

CColorSwatch::CColorSwatch(QWidget* parent) : QWidget(parent)
{
    setCursor(Qt::PointingHandCursor);
}

void CColorSwatch::paintEvent(QPaintEvent*)
{
    QPainter(this).fillRect(rect(), QColorFromColorRef(m_crColor));
}

void CColorSwatch::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        m_bPressed = rect().contains(event->position().toPoint());
}

void CColorSwatch::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const bool click = m_bPressed && rect().contains(event->position().toPoint());
    m_bPressed = false;
    if (click)
        emit clicked();
}
