// SPDX-License-Identifier: Apache-2.0
#include "filechooser.h"

#include <QFileDialog>
#include <QRegularExpression>

QString suffixOfFilter(const QString &filter)
{
    static const QRegularExpression nonWord(QStringLiteral("\\W+"));
    QStringList parts = filter.split(nonWord, Qt::SkipEmptyParts);
    return parts.isEmpty() ? QString() : parts.last();
}

FileChoice runFileDialog(QWidget *parent, const FileRequest &request)
{
    QFileDialog dialog(parent);
    dialog.setWindowTitle(request.caption);
    dialog.setNameFilters(request.filters);
    if (!request.directory.isEmpty()) dialog.setDirectory(request.directory);
    if (request.filters.contains(request.filter)) dialog.selectNameFilter(request.filter);
    if (request.save) dialog.setAcceptMode(QFileDialog::AcceptSave);
    auto applySuffix = [&dialog](const QString &filter) {
        dialog.setDefaultSuffix(suffixOfFilter(filter));
    };
    if (request.suffixFromFilter) {
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, applySuffix);
        applySuffix(dialog.selectedNameFilter());
    }
    FileChoice choice;
    if (dialog.exec() == QDialog::Accepted) {
        choice.filter = dialog.selectedNameFilter();
        choice.path = dialog.selectedFiles().value(0);
        if (choice.path.isNull()) choice.path = QLatin1String("");
    }
    return choice;
}
