#pragma once

#include <QtGlobal>
#include <atomic>
#include <memory>
#include <vector>

class QUndoCommand;

// A file's undo history. Besides the steps themselves it keeps a counter of the
// steps registered outside undo and redo, minus those undone, plus those redone;
// comparing it with its value at the last save tells whether the file has
// unsaved changes. Clearing the history leaves the counter alone.
//
// A registered step has already been carried out: registering does not run it.
// Steps registered while an undo or redo runs are the echo of that undo or redo
// and are not recorded, because each step knows how to redo itself.
class QSUndoManager
{
public:
    QSUndoManager();
    ~QSUndoManager();

    void registerUndo(std::unique_ptr<QUndoCommand> step);
    void undo();
    void redo();
    bool canUndo() const;
    bool canRedo() const;
    bool isUndoing() const { return _isUndoing; }
    bool isRedoing() const { return _isRedoing; }
    void removeAllActions();

    // Every registered step gets a number larger than any step registered before
    // it, in any file, so that a caller can tell whether the step it saw on top is
    // still there. Zero when there is no step to undo or redo.
    quint64 serialOfStepToUndo() const;
    quint64 serialOfStepToRedo() const;
    // The number of the latest step registered anywhere.
    static quint64 latestSerial() { return _latestSerial; }

    // Read by the edit worker as well as the UI thread.
    qint32 amountOfUndosInUndoStack() const { return _amountOfUndosInUndoStack; }

private:
    struct Step
    {
        std::unique_ptr<QUndoCommand> command;
        quint64 serial = 0;
    };

    std::vector<Step> _steps;
    size_t _nextStep = 0; // steps before it can be undone, from it on redone
    bool _isUndoing = false;
    bool _isRedoing = false;
    std::atomic<qint32> _amountOfUndosInUndoStack{0};
    static inline std::atomic<quint64> _latestSerial{0};
};
