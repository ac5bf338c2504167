#pragma once

#include <QRect>
#include <QWidget>
#include <QtMath>

// Design lengths are twips: 15 to a pixel at 96 dpi, scaled for the screen's dpi.
class Twips
{
public:
    explicit Twips(qreal logicalDpi) : m_scale(logicalDpi / 96.0) {}
    static Twips forWidget(const QWidget *widget) { return Twips(widget->logicalDpiX()); }

    int toPixels(int twips) const { return qRound(twips / 15.0 * m_scale); }
    QRect rect(int left, int top, int width, int height) const
    {
        return QRect(toPixels(left), toPixels(top), toPixels(width), toPixels(height));
    }

private:
    qreal m_scale;
};
