#include "model/QSUndoManager.h"

#include <QUndoCommand>

QSUndoManager::QSUndoManager() = default;
QSUndoManager::~QSUndoManager() = default;

void QSUndoManager::registerUndo(std::unique_ptr<QUndoCommand> step)
{
    if (_isUndoing || _isRedoing)
        return;
    ++_amountOfUndosInUndoStack;
    _steps.resize(_nextStep);
    _steps.push_back(Step{std::move(step), ++_latestSerial});
    _nextStep = _steps.size();
}

void QSUndoManager::undo()
{
    if (!canUndo())
        return;
    --_amountOfUndosInUndoStack;
    _isUndoing = true;
    --_nextStep;
    _steps[_nextStep].command->undo();
    _isUndoing = false;
}

void QSUndoManager::redo()
{
    if (!canRedo())
        return;
    ++_amountOfUndosInUndoStack;
    _isRedoing = true;
    _steps[_nextStep].command->redo();
    ++_nextStep;
    _isRedoing = false;
}

bool QSUndoManager::canUndo() const
{
    return _nextStep > 0;
}

bool QSUndoManager::canRedo() const
{
    return _nextStep < _steps.size();
}

quint64 QSUndoManager::serialOfStepToUndo() const
{
    return canUndo() ? _steps[_nextStep - 1].serial : 0;
}

quint64 QSUndoManager::serialOfStepToRedo() const
{
    return canRedo() ? _steps[_nextStep].serial : 0;
}

void QSUndoManager::removeAllActions()
{
    _steps.clear();
    _nextStep = 0;
}
