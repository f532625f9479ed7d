#pragma once

#include <QList>
#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <memory>

class QPdfDocument;
class QPrinter;
class QSPDFView;
class QSpinBox;
class QVariantAnimation;
namespace Ui {
class QSPDFViewContent;
}

// The PDF pane beside the text: shows the compiled PDF, reloads it in place after
// each compile, turns to a page or a line on request, and opens and closes by its
// width (1 pixel when hidden, its content hidden too). A bar at its top zooms and
// turns pages; the pane's widget carries those actions, whose keys work while the
// focus is in the pane. The zoom is remembered for each PDF, across reloads and in
// the user defaults.
class QSPDFViewController : public QObject
{
    Q_OBJECT

public:
    explicit QSPDFViewController(QObject *parent = nullptr);
    ~QSPDFViewController() override;

    // The pane's content ("QSPDFView").
    QWidget *view() const { return _view; }
    QString title() const { return QStringLiteral("PDFView"); }
    QSPDFView *pdfView() const;
    QPdfDocument *pdfDocument() const { return _pdf; }
    QString currentDocumentPath() const { return _currentDocumentPath; }

    // Loads the PDF, or loads it again keeping the scroll position and the zoom. A
    // PDF new to the pane takes the zoom it was last shown with. A file that is no
    // readable PDF leaves what was shown and returns the reason. A long PDF has its
    // pages measured on a worker first (reading every page's size is what takes a
    // PDF of thousands of pages most time): what was shown stays until it is
    // ready, and documentShown says when it is. A newer load replaces one pending.
    //
    // Place::Kept keeps the scroll position and the zoom even for another path: the
    // live preview's PDF and the compiled one are the same document.
    enum class Place { Remembered, Kept };
    bool setFilePath(const QString &path, QString *reason = nullptr,
                     Place place = Place::Remembered);
    // PDFs of more pages than this are measured on a worker before they are shown.
    static constexpr int pagesMeasuredOnAWorker = 300;
    // 1-based.
    void goToPageNo(int pageNumber);
    // Turns to a 1-based page and marks the line at a point of it, in PDF points
    // from the page's upper left corner.
    void goToPosition(int pageNumber, QPointF point);
    // The field of the bar that shows the page and takes one to turn to.
    QSpinBox *pageField() const;
    void showPDFViewWithAnimation(bool animated);
    void hidePDFViewWithAnimation(bool animated);
    void animatedExpansionToWidth(int width);
    // Hidden means at most one pixel wide.
    bool isHidden() const;
    // Prints every page, each turned to fit the paper's orientation.
    void printTo(QPrinter *printer) const;
    // A few words at the right of the bar about the PDF shown (for example whether
    // it is up to date with the text); empty hides them.
    void setStateText(const QString &text);
    QString stateText() const;
    // A few lines under the PDF, where they move no page; a note that takes the
    // user somewhere is a link (noteClicked). Empty hides it.
    void setNote(const QString &text, bool clickable = false);
    QString note() const { return _note; }

signals:
    // The pane opens or closes (the width it is going to).
    void shownChanged(bool shown);
    // The PDF that setFilePath loaded is the one shown now.
    void documentShown();
    // The link of the note under the PDF was clicked.
    void noteClicked();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *pane() const;
    void setPaneWidth(int width);
    void makeActions();
    void showCurrentPage();
    void showDocument(QPdfDocument *pdf, const QString &path, Place place);
    void rememberZoom();
    void restoreZoom();

    std::unique_ptr<Ui::QSPDFViewContent> _ui;
    QPointer<QWidget> _view;         // owned until the window takes it
    QPdfDocument *_pdf = nullptr;    // a child: the PDF shown
    QPointer<QPdfDocument> _pending; // a child: the PDF loaded last, shown or not
    QString _currentDocumentPath;
    QString _note;
    QVariantAnimation *_animation;
};
