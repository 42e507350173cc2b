// SPDX-License-Identifier: Apache-2.0
#include "tracksmenu.h"

#include "busycursor.h"
#include "counting.h"
#include "messages.h"
#include "platepanel.h"
#include "progressrunner.h"
#include "tablepanel.h"
#include "trackmodel.h"

#include "settings/trackoperations.h"
#include "table/numbers.h"

#include <QAction>
#include <QMenu>
#include <QTableView>

#include <memory>

using namespace corvane;

TracksMenu::TracksMenu(QMenu *menu, TrackModel *model, TablePanel *table, PlatePanel *plate,
                       ProgressRunner *runner)
    : QObject(menu), m_model(model), m_table(table), m_plate(plate), m_runner(runner)
{
    const QList<OperationForm> &all = forms();
    for (int i = 0; i < all.size(); ++i) {
        const OperationForm &form = all.at(i);
        // Groups as the artist thinks of them: names, time, place, which tracks.
        if (i > 0 && form.title.startsWith(QLatin1String("Slip"))) menu->addSeparator();
        if (i > 0 && form.title.startsWith(QLatin1String("Shift"))) menu->addSeparator();
        if (i > 0 && form.title.startsWith(QLatin1String("Keep"))) menu->addSeparator();
        QAction *action = menu->addAction(form.title + QStringLiteral("…"));
        action->setObjectName(QLatin1String(form.action));
        connect(action, &QAction::triggered, this, [this, i] { run(forms().at(i)); });
        m_actions << action;
    }
}

void TracksMenu::run(const OperationForm &form)
{
    const TrackTable &table = m_model->table();
    if (table.rowCount() == 0) return;
    // The plate is the whole table's: what changes it works on every track.
    const std::vector<int> selected =
        form.changesPlate ? std::vector<int>() : m_table->selectedRows();
    const PlateSettings settings = m_plate->settings();
    const PlateSize plate{toInt(settings.plateWidth), toInt(settings.plateHeight)};
    const std::unique_ptr<ValueSpace> space = sourceSpace(table, settings.programConventions);
    const std::vector<int> *only = selected.empty() ? nullptr : &selected;
    const QString scope =
        selected.empty()
            ? (form.changesPlate ? QStringLiteral("every track, as the plate is every track's")
                                 : QStringLiteral("every track"))
            : QStringLiteral("the tracks of the %1")
                  .arg(counted(qint64(selected.size()), QStringLiteral("selected row"),
                               QStringLiteral("selected rows")));
    OperationDialog dialog(m_table->view()->window(), form, plate, scope,
                           [&](const TrackOperation &op) {
                               return countTrackOperation(table, plate, op, only, space.get());
                           });
    if (dialog.exec() != QDialog::Accepted || !dialog.operation()) return;
    perform(form, *dialog.operation(), selected);
}

// The operation runs on a copy of the table on a worker thread; the copy
// then takes the table's place, the table as it was kept for undo (with the
// plate it had, when the operation changed it).
bool TracksMenu::perform(const OperationForm &form, const TrackOperation &op,
                         const std::vector<int> &onlyRows)
{
    const PlateSettings settingsBefore = m_plate->settings();
    struct Job
    {
        TrackTable table;
        PlateSize plate;
        std::unique_ptr<ValueSpace> space;
        TrackOperationResult result;
    };
    auto job = std::make_shared<Job>();
    if (!m_runner->copyTable(m_model->table(), job->table, form.title)) return false;
    job->space = sourceSpace(job->table, settingsBefore.programConventions);
    job->plate = {toInt(settingsBefore.plateWidth), toInt(settingsBefore.plateHeight)};
    const ProgressRunner::Run run{form.title, form.title + QStringLiteral("…"), QString(), 1,
                                  ProgressRunner::AfterCancel::Leave};
    const bool finished =
        m_runner->run(run, [job, op, onlyRows](const std::atomic<bool> &, std::atomic<qint64> &) {
            job->result =
                runTrackOperation(job->table, job->plate, op,
                                  onlyRows.empty() ? nullptr : &onlyRows, job->space.get());
        });
    if (!finished) return false;
    if (!job->result.ok()) {
        showMessage(m_table->view()->window(), job->result.error, QMessageBox::Warning);
        return false;
    }
    BusyCursor busy;
    m_model->swapTable(job->table, {});
    if (!job->result.plateChanged) {
        m_model->done(form.title, std::make_unique<TableReplaced>(std::move(job->table)));
        return true;
    }
    PlateSettings settingsAfter = settingsBefore;
    settingsAfter.plateWidth = QString::number(job->plate.width);
    settingsAfter.plateHeight = QString::number(job->plate.height);
    const std::optional<PlateSettings> tableBefore = m_plate->tableSettings();
    std::optional<PlateSettings> tableAfter = tableBefore;
    if (tableAfter) {
        tableAfter->plateWidth = settingsAfter.plateWidth;
        tableAfter->plateHeight = settingsAfter.plateHeight;
    }
    auto show = [this](const PlateSettings &shown, const std::optional<PlateSettings> &table) {
        m_plate->showSettings(shown);
        m_plate->setTableSettings(table);
    };
    show(settingsAfter, tableAfter);
    m_model->done(form.title, std::make_unique<TableReplaced>(std::move(job->table)),
                  [=](bool undone) {
                      if (undone)
                          show(settingsBefore, tableBefore);
                      else
                          show(settingsAfter, tableAfter);
                  });
    return true;
}
