#pragma once

#include "compile/preview/PreviewBuild.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>

class MyDocument;
class QSFile;

// The live preview of one document window. While it is on, each pause in the
// typing (QSLivePreviewPause after the last edit in any file of the document)
// typesets the document as the editor has it, saved or not, and the PDF pane shows
// the new PDF where the last one was, at its zoom. The pane's bar says whether the
// PDF shown is up to date, being typeset, out of date or failed; a preview that
// fails leaves the last good PDF and puts a note under it that shows the line when
// clicked. A preview never opens a pane, moves the focus or touches the console
// and the error list that F5 fills; while F5 compiles, previews wait.
//
// On or off is remembered for each root file (QSLivePreviewDocuments); off unless
// the user turned it on. UI thread.
class LivePreview : public QObject
{
    Q_OBJECT

public:
    explicit LivePreview(MyDocument *document);

    bool isOn() const { return _on; }
    // Turns previews on (a first one starts at once) or off, and remembers that
    // for the document's root.
    void setOn(bool on);
    // Takes the remembered choice of the document's root (at opening, or once the
    // document has been saved under another name).
    void readRemembered();

    // Text changed in a file of the document: the PDF shown is out of date, and a
    // preview follows the pause.
    void textChanged();
    // The file shown changed: with "only the chapter I am editing", the chapter
    // previewed follows it.
    void shownFileChanged();

    // Whether the pane shows the preview's PDF (rather than the compiled one).
    bool isShown() const;
    PreviewBuild *build() const { return _build.get(); }
    // The name of the \include'd file that a preview of the file typesets alone:
    // the root's \include that reaches the file, as written; empty when there is
    // none (the root itself, an \input'd file, a file outside the document).
    static QString chapterOf(const std::shared_ptr<QSFile> &root,
                             const std::shared_ptr<QSFile> &file);

signals:
    void onChanged(bool on);

private:
    // The pause after which a preview starts begins again.
    void startPause();
    void typeset();
    void compileStateChanged();
    void showState();
    void previewFinished(const QString &pdfPath);
    void previewFailed(const QString &file, int line, const QString &message);
    void noteClicked();
    QString rootPath() const;

    MyDocument *_document;
    std::unique_ptr<PreviewBuild> _build;
    QTimer _pause;
    bool _on = false;
    bool _failed = false;        // the last preview failed, and no PDF was shown since
    bool _outOfDate = false;     // the text changed since the PDF shown was typeset
    bool _heldByCompile = false; // text typed during a compile is previewed after it
    bool _compiling = false;
    // Where the note under the PDF takes the user: the last failure's file and line.
    QString _noteFile;
    int _noteLine = 0;
};
