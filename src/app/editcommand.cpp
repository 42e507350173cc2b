// SPDX-License-Identifier: Apache-2.0
#include "editcommand.h"

#include "trackmodel.h"

EditCommand::EditCommand(const QString &text, corvane::EditPtr edit, TrackModel *model,
                         std::function<void(bool undone)> follow)
    : QUndoCommand(text), m_edit(std::move(edit)), m_model(model), m_follow(std::move(follow))
{
}

void EditCommand::undo()
{
    m_edit->toggle(*m_model);
    if (m_follow) m_follow(true);
}

void EditCommand::redo()
{
    if (!m_pushed) {
        m_pushed = true;
        return;
    }
    m_edit->toggle(*m_model);
    if (m_follow) m_follow(false);
}

EditCommand *EditCommand::carriedOver()
{
    return new EditCommand(text(), std::move(m_edit), m_model, std::move(m_follow));
}
