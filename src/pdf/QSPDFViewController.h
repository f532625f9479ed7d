#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <memory>

class QPdfDocument;
class QPrinter;
class QSPDFView;
class QVariantAnimation;
namespace Ui {
class QSPDFViewContent;
}

// The PDF pane beside the text: shows the compiled PDF, reloads it in place after
// each compile, turns to a page on request, and opens and closes by its width
// (1 pixel when hidden).
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

    // Loads the PDF, or loads it again keeping the scroll position. A file that is
    // no readable PDF leaves what was shown and returns the reason.
    bool setFilePath(const QString &path, QString *reason = nullptr);
    // 1-based.
    void goToPageNo(int pageNumber);
    void showPDFViewWithAnimation(bool animated);
    void hidePDFViewWithAnimation(bool animated);
    void animatedExpansionToWidth(int width);
    // Hidden means at most one pixel wide.
    bool isHidden() const;
    // Prints every page, each turned to fit the paper's orientation.
    void printTo(QPrinter *printer) const;

signals:
    // The pane opens or closes (the width it is going to).
    void shownChanged(bool shown);

private:
    QWidget *pane() const;
    void setPaneWidth(int width);

    std::unique_ptr<Ui::QSPDFViewContent> _ui;
    QPointer<QWidget> _view; // owned until the window takes it
    QPdfDocument *_pdf = nullptr;
    QString _currentDocumentPath;
    QVariantAnimation *_animation;
};
