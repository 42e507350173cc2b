// SPDX-License-Identifier: Apache-2.0
#include "filechooser.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>

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

FileChoice FileDialogs::choose(FileRequest request) const
{
    QSettings settings;
    const QString key =
        QStringLiteral("dialogs/") + QString(request.caption).remove(QLatin1Char('/'));
    const QString folder = settings.value(key + QStringLiteral("/folder")).toString();
    if (!folder.isEmpty() && QFileInfo(folder).isDir()) request.directory = folder;
    if (request.filter.isEmpty())
        request.filter = settings.value(key + QStringLiteral("/filter")).toString();
    FileChoice choice = m_choose(m_parent, request);
    if (!choice.path.isEmpty()) {
        settings.setValue(key + QStringLiteral("/folder"), QFileInfo(choice.path).absolutePath());
        settings.setValue(key + QStringLiteral("/filter"), choice.filter);
    }
    return choice;
}
