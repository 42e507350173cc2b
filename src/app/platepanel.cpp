// SPDX-License-Identifier: Apache-2.0
#include "platepanel.h"

#include "busycursor.h"
#include "counting.h"
#include "look.h"
#include "makewidget.h"
#include "messages.h"
#include "progressrunner.h"
#include "trackmodel.h"

#include "table/numbers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleValidator>
#include <QElapsedTimer>
#include <QFrame>
#include <QIntValidator>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QSignalBlocker>

#include <algorithm>
#include <memory>

using namespace corvane;

PlatePanel::PlatePanel(QWidget *parent, TrackModel *model, ProgressRunner *runner)
    : QGroupBox(parent), m_model(model), m_runner(runner)
{
    setObjectName(QStringLiteral("Settings"));
    setGeometry(264, 224, 530, 256);
    setTitle(QStringLiteral("Settings"));
    setEnabled(false);
    buildWidgets();
    m_applyButton->setEnabled(false);
    auto *whole = new QIntValidator(-999999, 999999, this);
    for (QLineEdit *e : {m_plateWidth, m_plateHeight, m_x0, m_x1, m_y0, m_y1, m_exportFirst})
        e->setValidator(whole);
    m_pixelAspect->setValidator(new QDoubleValidator(-100.0, 100.0, 1, this));
    m_plateWidth->setStyleSheet(QLatin1String(look::plateMissingStyle));
    m_plateHeight->setStyleSheet(QLatin1String(look::plateMissingStyle));
    m_caption->setText(look::stepCaption(3, false));

    connect(m_imageSize, &QComboBox::currentIndexChanged, this, &PlatePanel::imageSizeChosen);
    connect(m_presets, &QComboBox::currentIndexChanged, this, &PlatePanel::presetChosen);
    connect(m_plateWidth, &QLineEdit::textChanged, this, [this] {
        plateFieldChanged(m_plateWidth, m_plateHeight, m_x1);
        emit plateChanged(QSizeF(m_plateWidth->text().toInt(), m_plateHeight->text().toInt()));
    });
    connect(m_plateHeight, &QLineEdit::textChanged, this, [this] {
        plateFieldChanged(m_plateHeight, m_plateWidth, m_y1);
        emit plateChanged(QSizeF(m_plateWidth->text().toInt(), m_plateHeight->text().toInt()));
    });
    connect(m_conventions, &QCheckBox::toggled, this, &PlatePanel::followFrameBases);
    for (auto *changed : {m_pixelAspect})
        connect(changed, &QLineEdit::textChanged, this, &PlatePanel::placementChanged);
    connect(m_conventions, &QCheckBox::toggled, this, &PlatePanel::placementChanged);
    // Only a value the user types is theirs; the defaults may move it.
    connect(m_exportFirst, &QLineEdit::textEdited, this, [this] { m_exportFirstTyped = true; });
    connect(m_applyButton, &QPushButton::clicked, this, &PlatePanel::apply);
    connect(m_resetButton, &QPushButton::clicked, this, &PlatePanel::resetValues);
    watchForStale();
}

void PlatePanel::buildWidgets()
{
    m_caption = makeLabel(this, "step3", QString(), {10, 16, 50, 20});

    makeLabel(this, "label_8", QStringLiteral("Plate Resolution"), {10, 44, 100, 20});
    m_plateWidth = makeField(this, "plateResWidth", QStringLiteral("0"), {112, 44, 60, 20});
    makeLabel(this, "label_10", QStringLiteral("w/h"), {178, 44, 24, 20});
    m_plateHeight = makeField(this, "plateResHight", QStringLiteral("0"), {204, 44, 60, 20});
    m_imageSize = makeWidget<QComboBox>(this, "imageSizeCombo", {280, 44, 120, 22});
    m_imageSize->addItems(imageSizeItems());

    makeLabel(this, "label_16", QStringLiteral("Predefined Setting"), {10, 74, 100, 20});
    m_presets = makeWidget<QComboBox>(this, "predefinedSettingCombo", {112, 74, 152, 22});
    m_presets->addItems(predefinedSettingItems());
    m_presets->setEnabled(false);

    makeLabel(this, "label_14", QStringLiteral("X0:"), {10, 104, 22, 20});
    m_x0 = makeField(this, "X0", QStringLiteral("0"), {34, 104, 60, 20});
    makeLabel(this, "label_15", QStringLiteral("X1:"), {104, 104, 22, 20});
    m_x1 = makeField(this, "X1", QStringLiteral("0"), {128, 104, 60, 20});
    makeLabel(this, "label_12", QStringLiteral("Y0:"), {198, 104, 22, 20});
    m_y0 = makeField(this, "Y0", QStringLiteral("0"), {222, 104, 60, 20});
    makeLabel(this, "label_13", QStringLiteral("Y1:"), {292, 104, 22, 20});
    m_y1 = makeField(this, "Y1", QStringLiteral("0"), {316, 104, 60, 20});
    m_x0->setPalette(look::applicationPalette());

    for (auto [name, top] : {std::pair{"line", 130}, std::pair{"line_2", 196}}) {
        auto *rule = makeWidget<QFrame>(this, name, {10, top, 510, 6});
        rule->setFrameShape(QFrame::HLine);
        rule->setFrameShadow(QFrame::Sunken);
    }

    makeLabel(this, "label_11", QStringLiteral("Pixel Asp. Ratio"), {10, 142, 100, 20});
    m_pixelAspect = makeField(this, "par", QStringLiteral("1.0"), {112, 142, 60, 20});
    m_conventions = makeWidget<QCheckBox>(this, "programConventionsCheck", {196, 142, 180, 20});
    m_conventions->setText(QStringLiteral("Program conventions"));
    m_conventions->setChecked(true);
    m_conventions->setToolTip(QStringLiteral(
        "On: points keep their place between programs that count pixels from "
        "their centres (PFTrack, SynthEyes), and the export first frame follows "
        "the programs' frame numbering (3DE from 1, SynthEyes and Maya Live from "
        "0).\nOff: every format is converted by its file's coordinate rules alone."));
    makeLabel(this, "label_9", QStringLiteral("Import/First Frame"), {10, 170, 100, 20});
    m_importFirst = makeField(this, "importFirstText", QString(), {112, 170, 60, 20});
    makeLabel(this, "label_7", QStringLiteral("Export/First Frame"), {196, 170, 100, 20});
    m_exportFirst = makeField(this, "exportFirstText", QString(), {300, 170, 60, 20});
    m_exportFirst->setInputMask(QString());

    m_applyButton = makeWidget<QPushButton>(this, "applyAllButton", {10, 210, 250, 32});
    m_applyButton->setText(QStringLiteral("Apply All Setting Changes"));
    m_applyButton->setIcon(QIcon(QStringLiteral(":/others/file_icos/database_table.png")));
    m_resetButton = makeWidget<QPushButton>(this, "resetValuesButton", {270, 210, 130, 32});
    m_resetButton->setText(QStringLiteral("Reset Values"));
    m_resetButton->setIcon(QIcon(QStringLiteral(":/others/file_icos/database_refresh.png")));
}

QList<QWidget *> PlatePanel::tabOrder() const
{
    return {m_plateWidth,  m_plateHeight, m_imageSize,   m_presets,     m_x0,
            m_x1,          m_y0,          m_y1,          m_pixelAspect, m_conventions,
            m_importFirst, m_exportFirst, m_applyButton, m_resetButton};
}

void PlatePanel::focusFirstValue()
{
    m_plateWidth->setFocus(Qt::OtherFocusReason);
}

void PlatePanel::setReady(bool ready)
{
    m_caption->setText(look::stepCaption(3, ready));
    m_applyButton->setEnabled(ready);
}

void PlatePanel::imageSizeChosen()
{
    auto size = imageSize(m_imageSize->currentIndex());
    if (!size) return;
    setReady(true);
    m_plateWidth->setStyleSheet(QLatin1String(look::plateMissingStyle));
    m_plateHeight->setStyleSheet(QLatin1String(look::plateMissingStyle));
    // A changed text runs its text-changed slot, which turns the field dark again.
    m_plateWidth->setText(size->first);
    m_plateHeight->setText(size->second);
}

// A plate field changed: a non-positive value stops Step 3; a positive one
// is copied into its side of the target window (X1 or Y1), and with both
// values positive Step 3 is ready.
void PlatePanel::plateFieldChanged(QLineEdit *field, QLineEdit *other, QLineEdit *windowSide)
{
    if (toInt(field->text()) <= 0) {
        setReady(false);
        field->setStyleSheet(QLatin1String(look::plateMissingStyle));
        m_presets->setEnabled(false);
        return;
    }
    if (toInt(other->text()) > 0) {
        setReady(true);
        m_presets->setEnabled(true);
    }
    field->setStyleSheet(QLatin1String(look::plateSetStyle));
    windowSide->setText(field->text());
}

void PlatePanel::presetChosen()
{
    if (m_plateWidth->text() == QLatin1String("0") || m_plateHeight->text() == QLatin1String("0"))
        return;
    setReady(true);
    auto window =
        predefinedWindow(m_presets->currentIndex(), m_plateWidth->text(), m_plateHeight->text());
    if (!window) return;
    m_x0->setText(window->x0);
    m_x1->setText(window->x1);
    m_y0->setText(window->y0);
    m_y1->setText(window->y1);
}

void PlatePanel::offerPresetsForPlate()
{
    if (toInt(m_plateWidth->text()) > 0) m_presets->setEnabled(true);
}

PlateSettings PlatePanel::settings() const
{
    PlateSettings s;
    s.plateWidth = m_plateWidth->text();
    s.plateHeight = m_plateHeight->text();
    s.imageSizeIndex = m_imageSize->currentIndex();
    s.predefinedIndex = m_presets->currentIndex();
    s.x0 = m_x0->text();
    s.x1 = m_x1->text();
    s.y0 = m_y0->text();
    s.y1 = m_y1->text();
    s.pixelAspect = m_pixelAspect->text();
    s.importFirst = m_importFirst->text();
    s.exportFirst = m_exportFirst->text();
    s.exportFirstTip = m_exportFirst->statusTip();
    s.importFilter = m_importFirstFilter;
    s.programConventions = m_conventions->isChecked();
    s.exportFirstTyped = m_exportFirstTyped;
    return s;
}

void PlatePanel::showSettings(const PlateSettings &s)
{
    // The plate fields' own slots keep X1, Y1 and Step 3's state in step.
    m_plateWidth->setText(s.plateWidth);
    m_plateHeight->setText(s.plateHeight);
    for (auto [combo, index] :
         {std::pair{m_imageSize, s.imageSizeIndex}, std::pair{m_presets, s.predefinedIndex}}) {
        QSignalBlocker quiet(combo); // their slots would rewrite the fields set here
        combo->setCurrentIndex(index);
    }
    m_x0->setText(s.x0);
    m_x1->setText(s.x1);
    m_y0->setText(s.y0);
    m_y1->setText(s.y1);
    m_pixelAspect->setText(s.pixelAspect);
    m_importFirst->setText(s.importFirst);
    m_exportFirst->setText(s.exportFirst);
    m_exportFirst->setStatusTip(s.exportFirstTip);
    m_importFirstFilter = s.importFilter;
    m_exportFirstTyped = s.exportFirstTyped;
    m_conventions->setChecked(s.programConventions);
    if (toInt(s.plateWidth) <= 0 || toInt(s.plateHeight) <= 0) m_applyButton->setEnabled(false);
}

void PlatePanel::resetValues()
{
    PlateSettings s = settings();
    s.resetValues();
    showSettings(s);
}

void PlatePanel::clear()
{
    m_caption->setText(look::stepCaption(3, false));
    setEnabled(false);
    resetValues();
    m_tableSettings.reset();
    m_exportFirst->setText(QString());
    m_importFirst->setText(QString());
}

void PlatePanel::setTargetFormat(const QString &filter)
{
    m_targetFilter = filter;
    followFrameBases();
}

void PlatePanel::followFrameBases()
{
    PlateSettings s = settings();
    s.defaultExportFirst(m_targetFilter);
    m_exportFirst->setText(s.exportFirst);
}

void PlatePanel::markStale()
{
    if (m_applying) return;
    emit saveAllowed(false, QStringLiteral("Apply All Setting Changes first: the target, the "
                                           "settings or the table changed since the last "
                                           "Apply."));
}

void PlatePanel::watchForStale()
{
    for (QLineEdit *field : {m_plateWidth, m_plateHeight, m_x0, m_x1, m_y0, m_y1, m_pixelAspect,
                             m_importFirst, m_exportFirst})
        connect(field, &QLineEdit::textChanged, this, &PlatePanel::markStale);
    for (QComboBox *combo : {m_imageSize, m_presets})
        connect(combo, &QComboBox::currentIndexChanged, this, &PlatePanel::markStale);
    connect(m_conventions, &QCheckBox::toggled, this, &PlatePanel::markStale);
    connect(m_model, &QAbstractItemModel::rowsInserted, this, &PlatePanel::markStale);
    connect(m_model, &QAbstractItemModel::modelReset, this, &PlatePanel::markStale);
    connect(m_model, &TrackModel::tableSwapped, this, &PlatePanel::markStale);
}

namespace {

ProgressRunner::Run applyingRun(int rows, ProgressRunner::AfterCancel afterCancel)
{
    return {QStringLiteral("Applying..."),
            QStringLiteral("Applying the settings to %1")
                .arg(counted(rows, QStringLiteral("row"), QStringLiteral("rows"))),
            QString(), 1000, afterCancel};
}

} // namespace

// Apply checks the rows on a worker thread, beside the table. A table that
// shows its imported values is then converted in place, a slice at a time;
// undo needs no copy of it. Another table has its new values worked out on
// the worker and put in with one exchange, the values exchanged out being
// the undo record. A table that needs more of Apply (a shape order,
// formulas, rows typed in) is converted as a copy on the worker, which then
// takes the table's place. Cancelled, the table stays as it was.
void PlatePanel::apply()
{
    if (const QString problem = settings().problem(); !problem.isEmpty()) {
        QString text = problem;
        text[0] = text[0].toUpper();
        showMessage(window(), text, QMessageBox::Warning);
        return;
    }
    ApplyParams params = applyParams(settings(), m_targetFilter);
    if (!m_applier && (applyToImported(params) || applyBesideTable(params))) return;
    struct Job
    {
        TrackTable table;
        ApplyResult result;
    };
    auto job = std::make_shared<Job>();
    if (!m_runner->copyTable(m_model->table(), job->table, QStringLiteral("Applying..."))) return;
    const ProgressRunner::Run run =
        applyingRun(job->table.rowCount(), ProgressRunner::AfterCancel::Leave);
    Applier apply = m_applier ? m_applier : [](TrackTable &table, const ApplyParams &p) {
        return applySettings(table, p);
    };
    const bool finished = m_runner->run(
        run, [job, params, apply](const std::atomic<bool> &, std::atomic<qint64> &done) mutable {
            params.progress = &done;
            job->result = apply(job->table, params);
        });
    if (!finished) return;
    if (!takeApplied(job->table, job->result)) return;
    finishApply(job->result);
}

// Apply into a table that shows its imported values; false when the table
// needs another way. The slices convert on this thread between the
// dialog's events, so nothing else touches the table meanwhile.
bool PlatePanel::applyToImported(const ApplyParams &params)
{
    struct Job
    {
        ApplyResult result;
        ImportedConversion conversion;
        bool prepared = false;
    };
    auto job = std::make_shared<Job>();
    TrackTable &table = m_model->table();
    const int rows = table.rowCount();
    const ProgressRunner::Run run = applyingRun(rows, ProgressRunner::AfterCancel::Wait);
    int converted = 0;
    int sliceRows = 16384; // grown or shrunk so that a slice takes some 15 ms
    const bool finished = m_runner->run(
        run,
        [job, p = params, &table](const std::atomic<bool> &cancel,
                                  std::atomic<qint64> &done) mutable {
            p.progress = &done;
            job->prepared =
                corvane::prepareImportedApply(table, p, job->result, job->conversion, &cancel);
        },
        [&](std::atomic<qint64> &done) {
            if (!job->prepared || !job->result.error.isEmpty()) return true;
            const int end = std::min(rows, converted + sliceRows);
            QElapsedTimer clock;
            clock.start();
            job->conversion.convert(table, converted, end);
            const qint64 took = std::max<qint64>(clock.nsecsElapsed(), 1);
            sliceRows =
                int(std::clamp<qint64>(qint64(end - converted) * 15'000'000 / took, 4096, 1 << 20));
            converted = end;
            done = 500 + 500 * qint64(converted) / std::max(rows, 1);
            return converted == rows;
        });
    QScopedValueRollback<bool> applying(m_applying, true); // its own changes keep it fresh
    if (!finished) {
        if (converted > 0) // the rows converted so far go back
            m_model->changeEveryRow([&](TrackTable &t) {
                t.restoreImported(0, converted, job->conversion.frameShift);
                t.touched();
            });
        return true;
    }
    if (!job->prepared) return false;
    if (refused(job->result)) return true;
    recordImportedConversion(job->conversion, job->result);
    finishApply(job->result);
    return true;
}

// The rows were converted in place: the table takes the conversion's
// inverse, and the undo step keeps the conversion, not the rows.
void PlatePanel::recordImportedConversion(ImportedConversion &conversion, const ApplyResult &result)
{
    const PlateSettings settingsBefore = m_tableSettings ? *m_tableSettings : settings();
    ShownToSource before = m_model->table().shownToSource();
    m_model->changeEveryRow(
        [&](TrackTable &t) { t.setShownToSource(std::move(conversion.inverse)); });
    recordApply(std::make_unique<ImportedRowsConverted>(std::move(conversion.convert),
                                                        conversion.frameShift, std::move(before)),
                result, settingsBefore);
}

// Apply beside the table; false when the table needs Apply on a copy.
// The worker reads the table, so a cancel waits for it to stop.
bool PlatePanel::applyBesideTable(const ApplyParams &params)
{
    struct Job
    {
        ApplyResult result;
        TrackTable::ConvertedRows converted;
        bool beside = false;
    };
    auto job = std::make_shared<Job>();
    const TrackTable &table = m_model->table();
    const ProgressRunner::Run run =
        applyingRun(table.rowCount(), ProgressRunner::AfterCancel::Wait);
    const bool finished =
        m_runner->run(run, [job, p = params, &table](const std::atomic<bool> &cancel,
                                                     std::atomic<qint64> &done) mutable {
            p.progress = &done;
            job->beside = corvane::applyBeside(table, p, job->result, job->converted, &cancel);
        });
    if (!finished) return true;
    if (!job->beside) return false;
    if (refused(job->result)) return true;
    takeConverted(job->converted, job->result);
    finishApply(job->result);
    return true;
}

// Tells the user why Apply refused, when it did.
bool PlatePanel::refused(const ApplyResult &result)
{
    if (result.error.isEmpty()) return false;
    showMessage(window(), result.error, QMessageBox::Warning);
    return true;
}

void PlatePanel::finishApply(const ApplyResult &result)
{
    m_applyNotes = result.notes;
    if (result.shapeNameProblem) {
        showMessage(window(), QString::fromLatin1(shapeNameMessage));
        return;
    }
    emit saveAllowed(true, QString());
}

// The converted table takes the table's place; false (and why, told) when
// Apply refused.
bool PlatePanel::takeApplied(TrackTable &table, const ApplyResult &result)
{
    if (refused(result)) return false;
    BusyCursor busy;
    QScopedValueRollback<bool> applying(m_applying, true); // its own changes keep it fresh
    const PlateSettings settingsBefore = m_tableSettings ? *m_tableSettings : settings();
    m_model->swapTable(table, result.sorted ? result.order : std::vector<int>());
    recordApply(std::make_unique<TableReplaced>(std::move(table), result.order), result,
                settingsBefore);
    return true;
}

// The rows' new values go in; what they were is the undo record.
void PlatePanel::takeConverted(TrackTable::ConvertedRows &converted, const ApplyResult &result)
{
    BusyCursor busy;
    QScopedValueRollback<bool> applying(m_applying, true); // its own changes keep it fresh
    const PlateSettings settingsBefore = m_tableSettings ? *m_tableSettings : settings();
    m_model->changeEveryRow([&](TrackTable &table) { table.exchangeConverted(converted); });
    recordApply(std::make_unique<ConvertedExchanged>(std::move(converted)), result, settingsBefore);
}

// One undo step for an Apply that was put in. The settings the table was
// made with, before and after: undo and redo show them again with the table.
void PlatePanel::recordApply(EditPtr edit, const ApplyResult &result,
                             const PlateSettings &settingsBefore)
{
    m_exportFirst->setStatusTip(m_exportFirst->text());
    const PlateSettings settingsAfter = settings();
    m_tableSettings = settingsAfter;
    // Redone, what Apply made may be saved again (as the Apply allowed).
    const QStringList notesBefore = m_applyNotes, notesAfter = result.notes;
    const bool saveable = !result.shapeNameProblem;
    m_model->done(QStringLiteral("Apply All Setting Changes"), std::move(edit), [=](bool undone) {
        m_tableSettings = undone ? settingsBefore : settingsAfter;
        m_applyNotes = undone ? notesBefore : notesAfter;
        showSettings(*m_tableSettings);
        if (!undone && saveable) emit saveAllowed(true, QString());
    });
}
