// SPDX-License-Identifier: Apache-2.0
#include "focusstyle.h"

#include <QPainter>
#include <QStyleFactory>
#include <QStyleOption>

namespace {

bool focused(const QStyleOption *option)
{
    return (option->state & QStyle::State_HasFocus) && (option->state & QStyle::State_Enabled);
}

void drawMark(const QStyleOption *option, QPainter *painter)
{
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setPen(QPen(FocusStyle::markColour(), 1));
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(option->rect.adjusted(0, 0, -1, -1));
    painter->restore();
}

} // namespace

FocusStyle::FocusStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

QColor FocusStyle::markColour()
{
    return QColor(240, 190, 100); // the table's selection, so one colour means "here"
}

void FocusStyle::drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                             const QWidget *widget) const
{
    QProxyStyle::drawControl(element, option, painter, widget);
    if ((element == CE_PushButton || element == CE_CheckBox) && focused(option))
        drawMark(option, painter);
}

void FocusStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex *option,
                                    QPainter *painter, const QWidget *widget) const
{
    QProxyStyle::drawComplexControl(control, option, painter, widget);
    if (control == CC_ComboBox && focused(option)) drawMark(option, painter);
}

void FocusStyle::drawPrimitive(PrimitiveElement element, const QStyleOption *option,
                               QPainter *painter, const QWidget *widget) const
{
    QProxyStyle::drawPrimitive(element, option, painter, widget);
    // Line edits, and the frames of the trees and the table.
    if ((element == PE_PanelLineEdit || element == PE_Frame) && focused(option))
        drawMark(option, painter);
}
