// SPDX-License-Identifier: Apache-2.0
// The About dialog: program, version, build date and the licences it ships under.
#pragma once

#include <QDialog>

class AboutDialog : public QDialog
{
    Q_OBJECT
public:
    explicit AboutDialog(QWidget *parent = nullptr);
};
