// SPDX-License-Identifier: Apache-2.0
// Step 3: the plate settings and Apply. The settings live in the widgets;
// everything that needs them reads them at the moment of use. Apply
// converts the table for the target; what it made may be saved until the
// target, the settings or the table change.
#pragma once

#include "edit/tableedit.h"
#include "settings/apply.h"
#include "settings/platesettings.h"

#include <QGroupBox>
#include <QSizeF>
#include <QStringList>

#include <functional>
#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class ProgressRunner;
class TrackModel;

class PlatePanel : public QGroupBox
{
    Q_OBJECT
public:
    PlatePanel(QWidget *parent, TrackModel *model, ProgressRunner *runner);

    // The values as the widgets hold them, and back.
    corvane::PlateSettings settings() const;
    void showSettings(const corvane::PlateSettings &settings);
    // The settings the table was last imported or applied with.
    const std::optional<corvane::PlateSettings> &tableSettings() const { return m_tableSettings; }
    void setTableSettings(std::optional<corvane::PlateSettings> settings)
    {
        m_tableSettings = std::move(settings);
    }

    void resetValues();
    // New: every value back to its default, first frames empty.
    void clear();
    // The format the target is written in: the export first frame follows
    // its frame numbering (unless the user typed one).
    void setTargetFormat(const QString &filter);
    const QString &targetFormat() const { return m_targetFilter; }
    // The presets need a plate: offered once it has a width.
    void offerPresetsForPlate();

    // How Apply converts (a copy of the table, on a worker thread); tests slow it down.
    using Applier = std::function<corvane::ApplyResult(corvane::TrackTable &table,
                                                       const corvane::ApplyParams &params)>;
    void setApplier(Applier applier) { m_applier = std::move(applier); }
    void apply();
    // What the conventions moved in the last Apply.
    const QStringList &applyNotes() const { return m_applyNotes; }
    // SAVE DATA! waits for the next Apply.
    void markStale();

    // Focus on the first value (where the work goes on after Step 2).
    void focusFirstValue();
    // The widgets the window's tab order runs through, in order.
    QList<QWidget *> tabOrder() const;

signals:
    // SAVE DATA! may write (what Apply made), or waits for the next Apply (tip says why).
    void saveAllowed(bool allowed, const QString &tip);
    void plateChanged(QSizeF plate);
    // The pixel aspect or the conventions changed: where points are drawn.
    void placementChanged();

private:
    void buildWidgets();
    void watchForStale();
    void plateFieldChanged(QLineEdit *field, QLineEdit *other, QLineEdit *windowSide);
    void imageSizeChosen();
    void presetChosen();
    void followFrameBases();
    void setReady(bool ready);
    bool takeApplied(corvane::TrackTable &table, const corvane::ApplyResult &result);
    bool applyToImported(const corvane::ApplyParams &params);
    void recordImportedConversion(corvane::ImportedConversion &conversion,
                                  const corvane::ApplyResult &result);
    bool applyBesideTable(const corvane::ApplyParams &params);
    void takeConverted(corvane::TrackTable::ConvertedRows &converted,
                       const corvane::ApplyResult &result);
    void recordApply(corvane::EditPtr edit, const corvane::ApplyResult &result,
                     const corvane::PlateSettings &settingsBefore);
    bool refused(const corvane::ApplyResult &result);
    void finishApply(const corvane::ApplyResult &result);

    TrackModel *m_model;
    ProgressRunner *m_runner;
    QLabel *m_caption = nullptr;
    QLineEdit *m_plateWidth = nullptr, *m_plateHeight = nullptr;
    QComboBox *m_imageSize = nullptr, *m_presets = nullptr;
    QLineEdit *m_x0 = nullptr, *m_x1 = nullptr, *m_y0 = nullptr, *m_y1 = nullptr;
    QLineEdit *m_pixelAspect = nullptr;
    QCheckBox *m_conventions = nullptr;
    QLineEdit *m_importFirst = nullptr, *m_exportFirst = nullptr;
    QPushButton *m_applyButton = nullptr, *m_resetButton = nullptr;

    QString m_targetFilter;
    QString m_importFirstFilter;     // the format the import first frame came from
    bool m_exportFirstTyped = false; // the export first frame is the user's
    bool m_applying = false;         // Apply's own changes do not make it stale
    std::optional<corvane::PlateSettings> m_tableSettings;
    QStringList m_applyNotes;
    Applier m_applier; // for tests: Apply on a copy of the table through this
};
