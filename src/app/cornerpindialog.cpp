// SPDX-License-Identifier: Apache-2.0
#include "cornerpindialog.h"

#include "look.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QSet>
#include <QVBoxLayout>

std::optional<QStringList> askCornerTracks(QWidget *over, const QString &formatName,
                                           const QStringList &tracks)
{
    QDialog dialog(over);
    dialog.setObjectName(QStringLiteral("cornerPinDialog"));
    dialog.setWindowTitle(formatName);
    dialog.setPalette(look::applicationPalette());
    auto *layout = new QVBoxLayout(&dialog);
    auto *about = new QLabel(QStringLiteral("A corner pin takes four tracks as its corners. "
                                            "Which track is each corner?"),
                             &dialog);
    about->setWordWrap(true);
    layout->addWidget(about);
    auto *form = new QFormLayout;
    const QStringList corners{QStringLiteral("Upper left"), QStringLiteral("Upper right"),
                              QStringLiteral("Lower left"), QStringLiteral("Lower right")};
    QList<QComboBox *> choices;
    for (int i = 0; i < corners.size(); ++i) {
        auto *combo = new QComboBox(&dialog);
        combo->setObjectName(QStringLiteral("corner%1").arg(i));
        combo->addItems(tracks);
        combo->setCurrentIndex(std::min(i, int(tracks.size()) - 1));
        form->addRow(corners.at(i), combo);
        choices << combo;
    }
    layout->addLayout(form);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    layout->addWidget(buttons);
    // Four different tracks, or no corner pin.
    auto check = [&] {
        QSet<QString> chosen;
        for (QComboBox *c : std::as_const(choices))
            chosen.insert(c->currentText());
        buttons->button(QDialogButtonBox::Ok)->setEnabled(chosen.size() == 4);
    };
    for (QComboBox *c : std::as_const(choices))
        QObject::connect(c, &QComboBox::currentIndexChanged, &dialog, check);
    check();
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    QStringList out;
    for (QComboBox *c : std::as_const(choices))
        out << c->currentText();
    return out;
}
