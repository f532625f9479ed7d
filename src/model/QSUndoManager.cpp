#include "model/QSUndoManager.h"

#include <QUndoCommand>

QSUndoManager::QSUndoManager() = default;
QSUndoManager::~QSUndoManager() = default;

void QSUndoManager::registerUndo(std::unique_ptr<QUndoCommand> step)
{
    if (_isUndoing || _isRedoing)
        return;
    if (isGrouping() && _groupHasStep) {
        Step &top = _steps[_nextStep - 1];
        QUndoCommand *last = top.edits.back().get();
        if (step->id() < 0 || step->id() != last->id() || !last->mergeWith(step.get()))
            top.edits.push_back(std::move(step));
        top.serial = ++_latestSerial;
        _stateOfText = top.serial;
        return;
    }
    _steps.resize(_nextStep);
    Step added;
    added.edits.push_back(std::move(step));
    added.serial = ++_latestSerial;
    _steps.push_back(std::move(added));
    setPosition(_steps.size());
    _groupHasStep = isGrouping();
}

void QSUndoManager::beginUndoGrouping()
{
    if (_groupingLevel++ == 0)
        _groupHasStep = false;
}

void QSUndoManager::endUndoGrouping()
{
    if (_groupingLevel > 0)
        --_groupingLevel;
}

void QSUndoManager::undo()
{
    _groupingLevel = 0;
    if (!canUndo())
        return;
    // The state moves before the edits are replayed: the edit worker works out from
    // it whether the file is saved as soon as it sees the replayed edits.
    setPosition(_nextStep - 1);
    _isUndoing = true;
    const Step &step = _steps[_nextStep];
    for (auto edit = step.edits.rbegin(); edit != step.edits.rend(); ++edit)
        (*edit)->undo();
    _isUndoing = false;
}

void QSUndoManager::redo()
{
    _groupingLevel = 0;
    if (!canRedo())
        return;
    setPosition(_nextStep + 1);
    _isRedoing = true;
    for (const std::unique_ptr<QUndoCommand> &edit : _steps[_nextStep - 1].edits)
        edit->redo();
    _isRedoing = false;
}

void QSUndoManager::setPosition(size_t nextStep)
{
    _nextStep = nextStep;
    _amountOfUndosInUndoStack = _stepsCleared + qint32(nextStep);
    _stateOfText = nextStep > 0 ? _steps[nextStep - 1].serial : _bottomState;
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
    _bottomState = _stateOfText;
    _stepsCleared = _amountOfUndosInUndoStack;
    _steps.clear();
    _nextStep = 0;
    _groupingLevel = 0;
}
