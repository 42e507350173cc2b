// SPDX-License-Identifier: Apache-2.0
#include "aboutdialog.h"

#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

AboutDialog::AboutDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("AboutDialog"));
    setWindowTitle(QStringLiteral("About Corvane"));
    setAttribute(Qt::WA_DeleteOnClose);

    auto *picture = new QLabel(this);
    picture->setPixmap(QPixmap(QStringLiteral(":/others/splash.png"))
                           .scaledToWidth(216, Qt::SmoothTransformation));
    auto *text =
        new QLabel(QStringLiteral("<b>Corvane</b> V%1<br>2D track and mask converter<br>Built %2"
                                  "<br><br>Copyright 2026 The Corvane developers.<br>"
                                  "Licensed under the Apache License, Version 2.0.<br>"
                                  "The embedded Liberation Sans font is under the "
                                  "SIL Open Font License 1.1.")
                       .arg(QStringLiteral(CORVANE_VERSION), QStringLiteral(__DATE__)),
                   this);
    text->setObjectName(QStringLiteral("aboutText"));
    // The licence's own text travels in the program, so it is there to read
    // wherever the binary went.
    auto *licence = new QPlainTextEdit(this);
    licence->setObjectName(QStringLiteral("licenceText"));
    licence->setReadOnly(true);
    licence->setLineWrapMode(QPlainTextEdit::NoWrap);
    licence->setFixedHeight(140);
    QFile licenceFile(QStringLiteral(":/others/LICENSE"));
    if (licenceFile.open(QIODevice::ReadOnly))
        licence->setPlainText(QString::fromUtf8(licenceFile.readAll()).trimmed());
    auto *ok = new QPushButton(QStringLiteral("OK"), this);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(picture);
    layout->addWidget(text);
    layout->addWidget(licence);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    layout->addLayout(buttons);
}
