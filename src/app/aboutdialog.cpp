#include "aboutdialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
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
        new QLabel(QStringLiteral("<b>Corvane</b> V%1<br>2D track and mask converter<br>Built %2")
                       .arg(QStringLiteral(CORVANE_VERSION), QStringLiteral(__DATE__)),
                   this);
    text->setObjectName(QStringLiteral("aboutText"));
    auto *ok = new QPushButton(QStringLiteral("OK"), this);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(picture);
    layout->addWidget(text);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    layout->addLayout(buttons);
}
