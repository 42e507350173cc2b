// SPDX-License-Identifier: Apache-2.0
#include "formattree.h"

#include "makewidget.h"

#include "formats/registry.h"

#include <QKeyEvent>
#include <QTreeWidget>

using namespace corvane;

namespace {

// Enter on an entry does what a double-click does.
class EnterOpens : public QObject
{
public:
    EnterOpens(QTreeWidget *tree, std::function<void(const QModelIndex &)> open)
        : QObject(tree), m_tree(tree), m_open(std::move(open))
    {
        tree->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != m_tree || event->type() != QEvent::KeyPress) return false;
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key != Qt::Key_Return && key != Qt::Key_Enter) return false;
        m_open(m_tree->currentIndex());
        return true;
    }

private:
    QTreeWidget *m_tree;
    std::function<void(const QModelIndex &)> m_open;
};

} // namespace

QTreeWidget *makeFormatTree(QWidget *parent, const char *name, QRect geometry, bool exporting,
                            std::function<void(const QModelIndex &)> open)
{
    auto *tree = makeWidget<QTreeWidget>(parent, name, geometry);
    tree->setHeaderLabel(exporting ? QStringLiteral("etf") : QStringLiteral("itf"));
    tree->setHeaderHidden(true);
    tree->setSortingEnabled(false);
    tree->setDragDropMode(QAbstractItemView::NoDragDrop);
    QTreeWidgetItem *groups[2];
    groups[0] = new QTreeWidgetItem(tree, {QStringLiteral("3D Software Files")});
    groups[1] = new QTreeWidgetItem(tree, {QStringLiteral("2D Software Files")});
    for (QTreeWidgetItem *g : groups)
        g->setIcon(0, QIcon(QStringLiteral(":/3d/add.png")));
    for (const Program &p : programs()) {
        // A program Corvane only writes (or only reads) has no entry on the other side.
        if ((exporting ? exportFiltersText(p) : importFiltersText(p)).isEmpty()) continue;
        auto *item =
            new QTreeWidgetItem(groups[p.cameraTracker ? 0 : 1],
                                {QLatin1String(exporting ? p.exportTreeText : p.importTreeText)});
        item->setIcon(0, QIcon(QLatin1String(p.icon)));
        item->setToolTip(0, item->text(0)); // the tree is narrower than most entries
    }
    tree->expandAll();
    QObject::connect(tree, &QTreeWidget::doubleClicked, tree, open);
    new EnterOpens(tree, std::move(open));
    return tree;
}

bool isGroupEntry(const QModelIndex &index)
{
    return index.data(Qt::DisplayRole).toString().contains(QLatin1String("Software"));
}
