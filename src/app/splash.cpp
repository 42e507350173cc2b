// SPDX-License-Identifier: Apache-2.0
#include "splash.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

Widget::Widget() : QSplashScreen(QPixmap())
{
    setWindowFlags(Qt::FramelessWindowHint);
    m_image.load(QStringLiteral(":/others/splash.png"));
    grabBackground();
}

void Widget::grabBackground()
{
    QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    QRect g = geometry();
    m_background =
        screen->grabWindow(0, g.x(), g.y(), g.right() - g.left() + 1, g.bottom() - g.top() + 1);
}

void Widget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_background);
    painter.drawPixmap(0, 0, m_image);
}

void Widget::resizeEvent(QResizeEvent *event)
{
    QSplashScreen::resizeEvent(event);
    setWindowOpacity(0);
    grabBackground();
    setWindowOpacity(1.0);
    update();
}
