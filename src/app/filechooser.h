// SPDX-License-Identifier: Apache-2.0
// The file dialogs of Step 1 and Step 2 behind one function, so that the
// window's tests can answer them.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

struct FileRequest
{
    QString caption;
    QStringList filters;
    bool save = false;
    bool suffixFromFilter = false; // a typed name gets the chosen filter's extension
    QString directory;
    QString filter; // the filter chosen at first (when it is one of filters)
};

struct FileChoice
{
    QString path; // null when cancelled
    QString filter;
};

using FileChooser = std::function<FileChoice(QWidget *parent, const FileRequest &request)>;

// The extension a save dialog gives a typed name: the last run of word
// characters of the filter ("PF v5 Track File (*.2dt)" gives "2dt").
QString suffixOfFilter(const QString &filter);

// The real dialogs.
FileChoice runFileDialog(QWidget *parent, const FileRequest &request);

// The dialogs of the window: each (by its caption) opens where it was last
// left, with the filter last chosen in it, in this run and the next.
class FileDialogs
{
public:
    explicit FileDialogs(QWidget *parent) : m_parent(parent) {}
    void setChooser(FileChooser chooser) { m_choose = std::move(chooser); }
    FileChoice choose(FileRequest request) const;

private:
    QWidget *m_parent;
    FileChooser m_choose = runFileDialog;
};
