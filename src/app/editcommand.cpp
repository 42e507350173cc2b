// SPDX-License-Identifier: Apache-2.0
#include "editcommand.h"

#include "trackmodel.h"

EditCommand::EditCommand(const QString &text, corvane::EditPtr edit, TrackModel *model)
    : QUndoCommand(text), m_edit(std::move(edit)), m_model(model)
{
}

void EditCommand::undo()
{
    m_edit->toggle(*m_model);
}

void EditCommand::redo()
{
    if (!m_pushed) {
        m_pushed = true;
        return;
    }
    m_edit->toggle(*m_model);
}
