// SPDX-License-Identifier: Apache-2.0
#include "look.h"

namespace look {

namespace {

void setAll(QPalette &p, QPalette::ColorRole role, const QColor &c)
{
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        p.setColor(group, role, c);
}

} // namespace

QPalette applicationPalette()
{
    QPalette p;
    setAll(p, QPalette::WindowText, QColor(255, 255, 255));
    setAll(p, QPalette::Button, QColor(93, 93, 93));
    setAll(p, QPalette::Light, QColor(218, 218, 218));
    setAll(p, QPalette::Midlight, QColor(128, 128, 128));
    setAll(p, QPalette::Dark, QColor(128, 128, 128));
    setAll(p, QPalette::Mid, QColor(100, 100, 100));
    setAll(p, QPalette::Text, QColor(200, 200, 200));
    setAll(p, QPalette::BrightText, QColor(200, 200, 200));
    setAll(p, QPalette::ButtonText, QColor(200, 200, 200));
    setAll(p, QPalette::Base, QColor(40, 40, 40));
    setAll(p, QPalette::Window, QColor(68, 68, 68));
    setAll(p, QPalette::Shadow, QColor(100, 100, 100));
    setAll(p, QPalette::Highlight, QColor(100, 140, 175));
    setAll(p, QPalette::HighlightedText, QColor(200, 200, 200));
    setAll(p, QPalette::Link, QColor(100, 140, 175));
    setAll(p, QPalette::LinkVisited, QColor(100, 140, 175));
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, QColor(128, 128, 128));
    return p;
}

QPalette mainWindowPalette()
{
    QPalette p = applicationPalette();
    setAll(p, QPalette::WindowText, QColor(200, 200, 200));
    setAll(p, QPalette::Light, QColor(180, 180, 180));
    setAll(p, QPalette::AlternateBase, QColor(0, 85, 0));
    setAll(p, QPalette::ToolTipText, QColor(255, 255, 255));
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, QColor(100, 100, 100));
    return p;
}

QPalette tablePalette()
{
    QPalette p = applicationPalette();
    setAll(p, QPalette::Highlight, QColor(240, 190, 100));
    setAll(p, QPalette::HighlightedText, QColor(24, 24, 24));
    return p;
}

QString stepCaption(int step, bool done)
{
    return QStringLiteral("<p><i><font color=#%1>Step %2</font></i></p>")
        .arg(done ? QStringLiteral("648caf") : QStringLiteral("9b7350"))
        .arg(step);
}

} // namespace look
