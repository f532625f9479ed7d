#pragma once

#include <QObject>
#include <memory>

class DropTextView;
class QDialog;
namespace Ui {
class SmartDropNoDropExist;
}

// The sheet shown when a dropped file's type has no snippet: insert the file's
// path, start a new snippet for the type in the preferences, or do nothing. It
// lives until the user has chosen.
class SmartDropNoDropExistSheetController : public QObject
{
    Q_OBJECT

public:
    explicit SmartDropNoDropExistSheetController(DropTextView *textView);
    ~SmartDropNoDropExistSheetController() override;

    QDialog *window() const { return _window; }
    DropTextView *textView() const { return _textView; }
    // Shows the sheet on the text view's window and returns at once.
    void open();

    void insertFilePath();
    void createNewSmartDrop();
    void doNothing();
    void closeSheet();

signals:
    // The user chose to write a snippet for the type (the sheet has given it the
    // placeholder "tmpSmartDrop").
    void newSmartDropRequested(const QString &fileType);

private:
    std::unique_ptr<Ui::SmartDropNoDropExist> _ui;
    QDialog *_window;
    DropTextView *_textView; // not owned
};
