// SPDX-License-Identifier: Apache-2.0
// One entry of the undo stack: a table edit of the core, already done when
// it is pushed. Undo and redo toggle it through the model, which tells the
// view what changed.
#pragma once

#include "edit/tableedit.h"

#include <QUndoCommand>

#include <functional>

class TrackModel;

class EditCommand : public QUndoCommand
{
public:
    // follow(undone) runs after each undo and redo (not after the push):
    // what the window shows besides the table, put back with it.
    EditCommand(const QString &text, corvane::EditPtr edit, TrackModel *model,
                std::function<void(bool undone)> follow = {});
    void undo() override;
    void redo() override;
    qint64 memoryBytes() const { return m_edit->memoryBytes(); }
    // A command that carries this one's edit on (in the state it is in),
    // for a stack built anew; this one is left empty.
    EditCommand *carriedOver();

private:
    corvane::EditPtr m_edit;
    TrackModel *m_model;
    std::function<void(bool undone)> m_follow;
    bool m_pushed = false; // the first redo comes with the push: the edit is done
};
