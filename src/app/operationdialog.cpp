// SPDX-License-Identifier: Apache-2.0
#include "operationdialog.h"

#include "look.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <QVBoxLayout>

using namespace corvane;

namespace {

// The converter's words name its option ("--slip: …"); the dialog's field
// says which it is.
QString withoutOption(QString text)
{
    static const QRegularExpression option(QStringLiteral("^--[a-z-]+: "));
    return text.remove(option);
}

QString valueOf(const QWidget *w)
{
    if (auto *combo = qobject_cast<const QComboBox *>(w)) return combo->currentText();
    if (auto *edit = qobject_cast<const QLineEdit *>(w)) return edit->text();
    return w->findChild<QLineEdit *>()->text(); // a file field: its line
}

} // namespace

OperationDialog::OperationDialog(QWidget *parent, const OperationForm &form, PlateSize plate,
                                 const QString &scope, Count count)
    : QDialog(parent), m_form(form), m_count(std::move(count))
{
    setObjectName(QStringLiteral("operationDialog"));
    setWindowTitle(form.title);
    setPalette(look::applicationPalette());
    m_pause = new QTimer(this);
    m_pause->setSingleShot(true);
    m_pause->setInterval(150);
    connect(m_pause, &QTimer::timeout, this, &OperationDialog::countLater);
    build(form, plate, scope);
    recount();
}

void OperationDialog::build(const OperationForm &form, PlateSize plate, const QString &scope)
{
    auto *layout = new QVBoxLayout(this);
    auto *about = new QLabel(form.about + QStringLiteral("\nOn ") + scope + QLatin1Char('.'), this);
    about->setWordWrap(true);
    layout->addWidget(about);
    const QStringList initial = form.initial ? form.initial(plate) : QStringList();
    auto *fields = new QFormLayout;
    for (int i = 0; i < form.fields.size(); ++i) {
        const OperationField &field = form.fields.at(i);
        QWidget *w = fieldWidget(field, i < initial.size() ? initial.at(i) : field.initial, i);
        fields->addRow(field.label, w);
        m_fields << w;
    }
    layout->addLayout(fields);
    m_countLine = new QLabel(this);
    m_countLine->setObjectName(QStringLiteral("operationCount"));
    m_countLine->setWordWrap(true);
    m_countLine->setMinimumWidth(360);
    layout->addWidget(m_countLine);
    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(m_buttons);
    connect(m_buttons, &QDialogButtonBox::accepted, this, [this] {
        recount();
        if (m_operation) accept();
    });
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

QWidget *OperationDialog::fieldWidget(const OperationField &field, const QString &value, int index)
{
    const QString name = QStringLiteral("operationField%1").arg(index);
    if (field.kind == OperationField::Kind::Choice) {
        auto *combo = new QComboBox(this);
        combo->setObjectName(name);
        combo->addItems(field.choices);
        combo->setCurrentText(value);
        connect(combo, &QComboBox::currentIndexChanged, m_pause, qOverload<>(&QTimer::start));
        return combo;
    }
    auto *edit = new QLineEdit(value, this);
    edit->setObjectName(name);
    connect(edit, &QLineEdit::textChanged, m_pause, qOverload<>(&QTimer::start));
    if (field.kind == OperationField::Kind::Text) return edit;
    auto *row = new QWidget(this);
    auto *line = new QHBoxLayout(row);
    line->setContentsMargins(0, 0, 0, 0);
    edit->setParent(row);
    line->addWidget(edit);
    auto *browse = new QPushButton(QStringLiteral("Browse…"), row);
    line->addWidget(browse);
    connect(browse, &QPushButton::clicked, this, [this, edit] {
        const QString path = QFileDialog::getOpenFileName(this, windowTitle(), edit->text());
        if (!path.isEmpty()) edit->setText(path);
    });
    return row;
}

QStringList OperationDialog::values() const
{
    QStringList out;
    for (const QWidget *w : m_fields)
        out << valueOf(w);
    return out;
}

OperationDialog::~OperationDialog()
{
    if (m_worker.joinable()) m_worker.join(); // it reads the table the dialog was given
}

void OperationDialog::showCount(const ParsedOperation &parsed, const TrackOperationResult *result)
{
    m_operation.reset();
    QString line;
    if (!parsed.operation) {
        line = withoutOption(parsed.error);
    } else if (result) {
        if (result->ok()) m_operation = parsed.operation;
        line = result->ok() ? result->summary : withoutOption(result->error);
    } else {
        line = QStringLiteral("Counting…");
    }
    m_countLine->setText(line);
    m_buttons->button(QDialogButtonBox::Ok)->setEnabled(m_operation.has_value());
}

void OperationDialog::recount()
{
    m_pause->stop();
    ++m_generation; // a count still running is of values before these
    if (m_worker.joinable()) m_worker.join();
    const ParsedOperation parsed = m_form.make(values());
    if (!parsed.operation) return showCount(parsed, nullptr);
    const TrackOperationResult result = m_count(*parsed.operation);
    showCount(parsed, &result);
}

// After a pause in the typing: the count runs on a worker (it reads every
// row), and its result shows if the values are still those it counted.
void OperationDialog::countLater()
{
    const int generation = ++m_generation;
    if (m_worker.joinable()) m_worker.join();
    const ParsedOperation parsed = m_form.make(values());
    showCount(parsed, nullptr);
    if (!parsed.operation) return;
    m_worker = std::thread([this, parsed, generation] {
        const TrackOperationResult result = m_count(*parsed.operation);
        QMetaObject::invokeMethod(
            this,
            [this, parsed, result, generation] {
                if (generation == m_generation) showCount(parsed, &result);
            },
            Qt::QueuedConnection);
    });
}
