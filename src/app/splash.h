// SPDX-License-Identifier: Apache-2.0
// The splash screen: the splash image painted over a grab of the screen
// behind it, so its transparent parts show the desktop.
#pragma once

#include <QPixmap>
#include <QSplashScreen>

class Widget : public QSplashScreen
{
    Q_OBJECT
public:
    Widget();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void grabBackground();

    QPixmap m_background;
    QPixmap m_image;
};
