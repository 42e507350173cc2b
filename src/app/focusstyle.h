// SPDX-License-Identifier: Apache-2.0
// The window's style: Fusion, with a mark that shows on the dark palette
// around whichever widget has the keyboard's focus (Fusion's own is faint
// there, and flat buttons have none).
#pragma once

#include <QProxyStyle>

class FocusStyle : public QProxyStyle
{
public:
    FocusStyle();
    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget = nullptr) const override;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex *option,
                            QPainter *painter, const QWidget *widget = nullptr) const override;
    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget = nullptr) const override;

    static QColor markColour();
};
