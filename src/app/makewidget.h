// SPDX-License-Identifier: Apache-2.0
// Widgets of the fixed-size window: made with their object name (what the
// tests find them by) at their place.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QRect>
#include <QWidget>

template <typename T> T *makeWidget(QWidget *parent, const char *name, QRect geometry)
{
    auto *w = new T(parent);
    w->setObjectName(QLatin1String(name));
    w->setGeometry(geometry);
    return w;
}

inline QLabel *makeLabel(QWidget *parent, const char *name, const QString &text, QRect geometry)
{
    auto *l = makeWidget<QLabel>(parent, name, geometry);
    l->setText(text);
    return l;
}

inline QLineEdit *makeField(QWidget *parent, const char *name, const QString &text, QRect geometry)
{
    auto *e = makeWidget<QLineEdit>(parent, name, geometry);
    e->setText(text);
    return e;
}
