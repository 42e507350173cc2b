// SPDX-License-Identifier: Apache-2.0
#include "tablepanel.h"

#include "counting.h"
#include "look.h"
#include "makewidget.h"
#include "trackmodel.h"

#include <QHeaderView>
#include <QHelpEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QToolTip>

#include <algorithm>

using namespace corvane;

namespace {

CellRange rangeOf(const QItemSelectionRange &range)
{
    return CellRange{range.top(), range.left(), range.bottom(), range.right()};
}

} // namespace

TablePanel::TablePanel(QWidget *parent, TrackModel *model) : QObject(parent), m_model(model)
{
    buildWidgets(parent);
    auto rowsChanged = [this] {
        fitRowNumbers();
        showMarkedCount();
    };
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(m_model, signal, this, rowsChanged);
    connect(m_model, &QAbstractItemModel::modelReset, this, rowsChanged);
    connect(m_model, &TrackModel::tableSwapped, this, rowsChanged);
    connect(m_model, &QAbstractItemModel::dataChanged, this, &TablePanel::showMarkedCount);
    connect(m_model, &QAbstractItemModel::modelReset, this, &TablePanel::fitFrameColumn);
    connect(m_model, &QAbstractItemModel::layoutChanged, this, &TablePanel::fitFrameColumn);
    connect(m_model, &QAbstractItemModel::dataChanged, this, &TablePanel::fitFrameColumn);
    connect(m_view->verticalScrollBar(), &QScrollBar::valueChanged, this,
            &TablePanel::fitFrameColumn);
    rowsChanged();
}

void TablePanel::buildWidgets(QWidget *parent)
{
    m_view = makeWidget<QTableView>(parent, "tableDataWidget", {264, 8, 381, 211});
    m_view->setMaximumSize(381, 211);
    m_view->setDragEnabled(false);
    m_view->setAcceptDrops(false);
    m_view->setDragDropMode(QAbstractItemView::NoDragDrop);
    m_view->setDropIndicatorShown(false);
    m_view->setModel(m_model);
    m_view->verticalHeader()->setDefaultSectionSize(20);
    m_view->verticalHeader()->setFixedWidth(43);
    m_view->viewport()->installEventFilter(this); // whole texts of cut-off cells
    m_view->setPalette(look::tablePalette());
    m_view->setContextMenuPolicy(Qt::CustomContextMenu);
    m_view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);

    const struct
    {
        QPushButton **button;
        const char *name;
        const char *tip;
        const char *icon;
    } rowButtons[] = {{&m_rowFirst, "rowFirst", "Move First", ":/others/row_first.png"},
                      {&m_rowUp, "rowUp", "Move Up ", ":/others/row_up.png"},
                      {&m_rowDown, "rowDown", "Move Down", ":/others/row_down.png"},
                      {&m_rowLast, "rowLast", "Move Last", ":/others/row_last.png"},
                      {&m_rowGoTo, "rowSend", "Move Go to Line", ":/others/row_goto.png"}};
    int y = 14;
    for (const auto &b : rowButtons) {
        *b.button = makeWidget<QPushButton>(parent, b.name, {650, y, 26, 26});
        (*b.button)->setFlat(true);
        (*b.button)->setToolTip(QLatin1String(b.tip));
        (*b.button)->setIcon(QIcon(QLatin1String(b.icon)));
        y += 30;
    }

    m_trackViewButton = makeWidget<QPushButton>(parent, "trackViewButton", {650, 193, 26, 26});
    m_trackViewButton->setFlat(true);
    m_trackViewButton->setToolTip(QStringLiteral("Track View (F3)"));
    m_trackViewButton->setIcon(QIcon(QStringLiteral(":/others/track_view.png")));

    // How many rows SAVE DATA! will write alone, above the save line.
    m_markedCount = makeWidget<QLabel>(parent, "markedCountLabel", {682, 8, 112, 16});
    m_markedCount->setToolTip(QStringLiteral("SAVE DATA! writes only the marked rows (Set as "
                                             "Selected, Ctrl+S); Deselect (Ctrl+D) unmarks "
                                             "them."));
}

CellSelection TablePanel::selection() const
{
    CellSelection out;
    for (const QItemSelectionRange &range : m_view->selectionModel()->selection())
        out.push_back(rangeOf(range));
    return out;
}

CellRange TablePanel::firstSelectedRange() const
{
    const QItemSelection selection = m_view->selectionModel()->selection();
    return selection.isEmpty() ? CellRange() : rangeOf(selection.first());
}

QModelIndex TablePanel::lastSelectedCell() const
{
    const QItemSelection selection = m_view->selectionModel()->selection();
    if (selection.isEmpty()) return QModelIndex();
    return selection.last().bottomRight();
}

std::vector<int> TablePanel::selectedRows() const
{
    return corvane::selectedRows(selection(), m_model->rowCount());
}

void TablePanel::selectCells(const std::vector<int> &rows, int firstColumn, int lastColumn,
                             QItemSelectionModel::SelectionFlags how)
{
    // One range per run of neighbouring rows (rows ascend).
    QItemSelection selection;
    for (size_t i = 0; i < rows.size();) {
        size_t j = i;
        while (j + 1 < rows.size() && rows[j + 1] <= rows[j] + 1)
            ++j;
        selection.select(m_model->index(rows[i], firstColumn), m_model->index(rows[j], lastColumn));
        i = j + 1;
    }
    m_view->selectionModel()->select(selection, how);
}

void TablePanel::selectRows(const std::vector<int> &rows, bool add)
{
    if (rows.empty()) return;
    std::vector<int> sorted = rows;
    std::sort(sorted.begin(), sorted.end());
    selectCells(sorted, 0, m_model->columnCount() - 1,
                add ? QItemSelectionModel::Select : QItemSelectionModel::ClearAndSelect);
    QItemSelectionModel *model = m_view->selectionModel();
    model->setCurrentIndex(m_model->index(sorted.front(), 0), QItemSelectionModel::NoUpdate);
    m_view->scrollTo(m_model->index(sorted.front(), 0), QAbstractItemView::PositionAtTop);
}

void TablePanel::fitColumns()
{
    QHeaderView *header = m_view->horizontalHeader();
    for (int c = 0; c < m_model->columnCount(); ++c)
        m_view->setColumnWidth(c, header->sectionSizeHint(c));
    fitFrameColumn();
    m_view->setPalette(look::tablePalette());
    // Setting it walks every row, even to the height it has.
    if (m_view->verticalHeader()->defaultSectionSize() != 20)
        m_view->verticalHeader()->setDefaultSectionSize(20);
    fitRowNumbers();
}

void TablePanel::fitFrameColumn()
{
    if (m_model->columnCount() <= FrameColumn) return;
    // Only the rows in sight are measured: the cost does not grow with the table.
    const int wanted =
        static_cast<const QAbstractItemView *>(m_view)->sizeHintForColumn(FrameColumn);
    if (wanted > m_view->columnWidth(FrameColumn)) m_view->setColumnWidth(FrameColumn, wanted);
}

// The row numbers' column is as wide as the largest number needs (at least 43).
void TablePanel::fitRowNumbers()
{
    QHeaderView *rows = m_view->verticalHeader();
    const int digits =
        rows->fontMetrics().horizontalAdvance(QString::number(std::max(1, m_model->rowCount())));
    rows->setFixedWidth(std::max(43, digits + 14));
}

void TablePanel::showMarkedCount()
{
    const int marked = m_model->table().markedCount();
    m_markedCount->setText(
        marked == 0 ? QString()
                    : counted(marked, QStringLiteral("row marked"), QStringLiteral("rows marked")));
}

bool TablePanel::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::ToolTip && watched == m_view->viewport())
        return showWholeCellText(static_cast<QHelpEvent *>(event));
    return false;
}

bool TablePanel::showWholeCellText(QHelpEvent *event)
{
    const QModelIndex index = m_view->indexAt(event->pos());
    if (!index.isValid()) return false;
    const QString text = index.data(Qt::DisplayRole).toString();
    const int room = m_view->columnWidth(index.column()) - 8;
    if (m_view->fontMetrics().horizontalAdvance(text) <= room) return false;
    const QString own = index.data(Qt::ToolTipRole).toString();
    QToolTip::showText(event->globalPos(),
                       own.isEmpty() ? text : text + QStringLiteral("\n(imported: %1)").arg(own),
                       m_view->viewport());
    return true;
}
