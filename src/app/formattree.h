// SPDX-License-Identifier: Apache-2.0
// The format trees of Step 1 and Step 2: the programs under "3D Software
// Files" and "2D Software Files"; a double-click or Enter on one opens its
// file dialog.
#pragma once

#include <QModelIndex>

#include <functional>

class QTreeWidget;
class QWidget;

QTreeWidget *makeFormatTree(QWidget *parent, const char *name, QRect geometry, bool exporting,
                            std::function<void(const QModelIndex &)> open);
// A group's entry ("3D Software Files") rather than a program's.
bool isGroupEntry(const QModelIndex &index);
