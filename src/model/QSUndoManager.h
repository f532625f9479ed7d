#pragma once

#include <QtGlobal>
#include <atomic>
#include <memory>
#include <vector>

class QUndoCommand;

// A file's undo history. A step of the history is one edit as the user sees it: a
// run of typing, a paste, a command. Steps registered while a group is open join
// the step the group began, and undo and redo take the whole step at once.
//
// Besides the steps it keeps a counter of the steps that can be undone (with those
// that could be before the history was last cleared), and a number for the state
// of the text: it changes with every registered step, undo and redo, and comes
// back only when undo or redo brings back the text it stood for. Comparing it with
// its value at the last save tells whether the file has unsaved changes, even after
// undoing below the save point and editing anew. Clearing the history leaves both
// alone.
//
// A registered step has already been carried out: registering does not run it.
// Steps registered while an undo or redo runs are the echo of that undo or redo
// and are not recorded, because each step knows how to redo itself.
class QSUndoManager
{
public:
    QSUndoManager();
    ~QSUndoManager();

    // A step that joins an open group is merged into the group's last edit when that
    // edit takes it (QUndoCommand::mergeWith, for commands of the same id()).
    void registerUndo(std::unique_ptr<QUndoCommand> step);
    // Until the matching end, registered steps make one step of the history. Groups
    // nest; undo and redo end every open group first.
    void beginUndoGrouping();
    void endUndoGrouping();
    bool isGrouping() const { return _groupingLevel > 0; }
    void undo();
    void redo();
    bool canUndo() const;
    bool canRedo() const;
    bool isUndoing() const { return _isUndoing; }
    bool isRedoing() const { return _isRedoing; }
    void removeAllActions();

    // Every registered step gets a number larger than any step registered before
    // it, in any file, and a new one whenever an edit joins it, so that a caller can
    // tell whether the step it saw on top is still there as it was. Zero when there
    // is no step to undo or redo.
    quint64 serialOfStepToUndo() const;
    quint64 serialOfStepToRedo() const;
    // The number of the latest step registered or joined anywhere.
    static quint64 latestSerial() { return _latestSerial; }

    // Read by the edit worker as well as the UI thread.
    qint32 amountOfUndosInUndoStack() const { return _amountOfUndosInUndoStack; }
    quint64 stateOfText() const { return _stateOfText; }

private:
    struct Step
    {
        std::vector<std::unique_ptr<QUndoCommand>> edits; // in the order carried out
        quint64 serial = 0;
    };

    void setPosition(size_t nextStep);

    std::vector<Step> _steps;
    size_t _nextStep = 0;     // steps before it can be undone, from it on redone
    quint64 _bottomState = 0; // the state with no step left to undo
    qint32 _stepsCleared = 0; // the counter when the history was last cleared
    int _groupingLevel = 0;
    bool _groupHasStep = false; // the open group has begun its step on top
    bool _isUndoing = false;
    bool _isRedoing = false;
    std::atomic<qint32> _amountOfUndosInUndoStack{0};
    std::atomic<quint64> _stateOfText{0};
    static inline std::atomic<quint64> _latestSerial{0};
};
