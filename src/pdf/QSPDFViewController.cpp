#include "pdf/QSPDFViewController.h"

#include "pdf/QSPDFView.h"
#include "platform/SplitViewPane.h"
#include "ui_QSPDFView.h"

#include <QBuffer>
#include <QFile>
#include <QPainter>
#include <QPdfDocument>
#include <QPrinter>
#include <QScrollBar>
#include <QVariantAnimation>

QSPDFViewController::QSPDFViewController(QObject *parent)
    : QObject(parent)
    , _ui(std::make_unique<Ui::QSPDFViewContent>())
    , _view(new QWidget)
    , _animation(new QVariantAnimation(this))
{
    _ui->setupUi(_view);
    _animation->setDuration(200);
    connect(_animation, &QVariantAnimation::valueChanged, this,
            [this](const QVariant &width) { setPaneWidth(width.toInt()); });
}

QSPDFViewController::~QSPDFViewController()
{
    if (_view && !_view->parent())
        delete _view;
}

QSPDFView *QSPDFViewController::pdfView() const
{
    return _ui->o_pdfView;
}

bool QSPDFViewController::setFilePath(const QString &path, QString *reason)
{
    // The engine rewrites the file in place at the next compile: the view reads
    // from its own copy of the bytes, never from the file under the engine.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (reason)
            *reason = file.errorString();
        return false;
    }
    auto *bytes = new QBuffer;
    bytes->setData(file.readAll());
    bytes->open(QIODevice::ReadOnly);
    auto *pdf = new QPdfDocument(this);
    bytes->setParent(pdf);
    pdf->load(bytes);
    if (pdf->status() != QPdfDocument::Status::Ready || pdf->pageCount() == 0) {
        if (reason)
            *reason = tr("it is not a PDF that can be shown");
        delete pdf;
        return false;
    }

    QSPDFView *view = pdfView();
    const bool reload = path == _currentDocumentPath;
    const QPoint scrolled(view->horizontalScrollBar()->value(), view->verticalScrollBar()->value());
    _currentDocumentPath = path;
    view->setDocument(pdf);
    delete _pdf;
    _pdf = pdf;
    if (reload) {
        view->horizontalScrollBar()->setValue(scrolled.x());
        view->verticalScrollBar()->setValue(scrolled.y());
    }
    return true;
}

void QSPDFViewController::goToPageNo(int pageNumber)
{
    pdfView()->showPage(pageNumber - 1);
}

// The pane is the area of the window that holds the view; it lies in the split
// view between the text and the PDF.
QWidget *QSPDFViewController::pane() const
{
    return _view ? _view->parentWidget() : nullptr;
}

void QSPDFViewController::setPaneWidth(int width)
{
    SplitViewPane::setSize(pane(), width, Qt::Horizontal);
}

void QSPDFViewController::animatedExpansionToWidth(int width)
{
    emit shownChanged(width > 1);
    QWidget *area = pane();
    if (!area)
        return;
    _animation->stop();
    _animation->setStartValue(area->width());
    _animation->setEndValue(width);
    _animation->start();
}

void QSPDFViewController::showPDFViewWithAnimation(bool animated)
{
    QWidget *area = pane();
    const int width = area && area->parentWidget() ? area->parentWidget()->width() / 2 : 1;
    if (animated) {
        animatedExpansionToWidth(width);
        return;
    }
    _animation->stop();
    setPaneWidth(width);
    emit shownChanged(width > 1);
}

void QSPDFViewController::hidePDFViewWithAnimation(bool animated)
{
    if (animated) {
        animatedExpansionToWidth(1);
        return;
    }
    _animation->stop();
    setPaneWidth(1);
    emit shownChanged(false);
}

bool QSPDFViewController::isHidden() const
{
    const QWidget *area = pane();
    return !area || area->width() <= 1;
}

void QSPDFViewController::printTo(QPrinter *printer) const
{
    if (!_pdf)
        return;
    QPainter painter;
    if (!painter.begin(printer))
        return;
    const QRect paper = painter.viewport();
    for (int page = 0; page < _pdf->pageCount(); ++page) {
        if (page > 0)
            printer->newPage();
        const QSizeF points = _pdf->pagePointSize(page);
        const bool turn = (points.width() > points.height()) != (paper.width() > paper.height());
        const QSizeF upright = turn ? points.transposed() : points;
        const qreal scale =
            qMin(paper.width() / upright.width(), paper.height() / upright.height());
        const QSize rendered = (points * scale).toSize();
        const QImage image = _pdf->render(page, rendered);
        painter.save();
        painter.translate(paper.center());
        if (turn)
            painter.rotate(90);
        painter.drawImage(QPoint(-rendered.width() / 2, -rendered.height() / 2), image);
        painter.restore();
    }
}
