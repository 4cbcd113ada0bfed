#pragma once
// CColorSwatch: a field that shows one colour, filling its whole area with
// m_crColor and drawing nothing else. A left click on it (press and release
// on the field, which shows the hand cursor) emits clicked(); it never
// changes its colour by itself.
//
// A child of its dialog; user-interface thread only.

#include <QWidget>

#include "platform/wintypes.h"

class CColorSwatch : public QWidget {
    Q_OBJECT
public:
    explicit CColorSwatch(QWidget* parent = nullptr);

    COLORREF m_crColor = 0x808080;

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool m_bPressed = false;
};
