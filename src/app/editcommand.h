// SPDX-License-Identifier: Apache-2.0
// One entry of the undo stack: a table edit of the core, already done when
// it is pushed. Undo and redo toggle it through the model, which tells the
// view what changed.
#pragma once

#include "edit/tableedit.h"

#include <QUndoCommand>

class TrackModel;

class EditCommand : public QUndoCommand
{
public:
    EditCommand(const QString &text, corvane::EditPtr edit, TrackModel *model);
    void undo() override;
    void redo() override;

private:
    corvane::EditPtr m_edit;
    TrackModel *m_model;
    bool m_pushed = false; // the first redo comes with the push: the edit is done
};
