#include "pdf/QSPDFViewController.h"

#include "pdf/QSPDFView.h"
#include "platform/SplitViewPane.h"
#include "platform/UserDefaults.h"
#include "ui_QSPDFView.h"

#include <QAction>
#include <QBuffer>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QMetaEnum>
#include <QPainter>
#include <QPdfDocument>
#include <QPdfPageNavigator>
#include <QPrinter>
#include <QScrollBar>
#include <QSpinBox>
#include <QToolButton>
#include <QVariantAnimation>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <functional>

namespace {

// The user defaults remember the zoom of this many PDFs, the latest shown.
constexpr int rememberedZooms = 50;

QString zoomModeName(QPdfView::ZoomMode mode)
{
    return QString::fromLatin1(QMetaEnum::fromType<QPdfView::ZoomMode>().valueToKey(int(mode)));
}

} // namespace

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

    makeActions();
    QSPDFView *view = pdfView();
    connect(view->verticalScrollBar(), &QScrollBar::valueChanged, this,
            &QSPDFViewController::showCurrentPage);
    connect(view->pageNavigator(), &QPdfPageNavigator::currentPageChanged, this,
            &QSPDFViewController::showCurrentPage);
    connect(pageField(), &QSpinBox::valueChanged, this, &QSPDFViewController::goToPageNo);
    connect(view, &QPdfView::zoomFactorChanged, this, &QSPDFViewController::rememberZoom);
    connect(view, &QPdfView::zoomModeChanged, this, &QSPDFViewController::rememberZoom);
    showCurrentPage();
    connect(_ui->o_noteLabel, &QLabel::linkActivated, this, &QSPDFViewController::noteClicked);
    _view->installEventFilter(this);
}

// The content follows the pane's width: a pane closed to its last pixel hides it, so
// that no button or field squeezed into nothing stays in the focus chain or in what
// a screen reader finds. However the pane is resized (also by dragging its divider).
bool QSPDFViewController::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == _view && event->type() == QEvent::ParentChange) {
        if (QWidget *area = pane()) {
            area->installEventFilter(this);
            _view->setVisible(area->width() > 1);
        }
    } else if (watched == pane() && event->type() == QEvent::Resize) {
        _view->setVisible(pane()->width() > 1);
    }
    return false;
}

void QSPDFViewController::makeActions()
{
    QSPDFView *view = pdfView();
    // Each action is the pane's: its keys act only while the focus is in the pane,
    // never taking Page Down or Ctrl++ from the text.
    const auto addAction = [this](const QString &text, const QList<QKeySequence> &keys,
                                  const std::function<void()> &run) {
        auto *action = new QAction(text, _view);
        action->setShortcuts(keys);
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        if (!keys.isEmpty())
            action->setToolTip(
                tr("%1 (%2)").arg(text, keys.first().toString(QKeySequence::NativeText)));
        connect(action, &QAction::triggered, this, run);
        _view->addAction(action);
        return action;
    };
    const auto onButton = [](QToolButton *button, QAction *action, const QString &label) {
        action->setIconText(label);
        button->setDefaultAction(action);
    };
    onButton(_ui->o_zoomOutButton,
             addAction(tr("Zoom Out"), {QKeySequence::ZoomOut}, [view] { view->zoomOut(); }),
             QStringLiteral("\u2212"));
    onButton(_ui->o_zoomInButton,
             addAction(tr("Zoom In"),
                       {QKeySequence::ZoomIn, QKeySequence(Qt::CTRL | Qt::Key_Equal)},
                       [view] { view->zoomIn(); }),
             QStringLiteral("+"));
    onButton(_ui->o_fitWidthButton, addAction(tr("Fit Width"), {}, [view] { view->fitToWidth(); }),
             tr("Width"));
    onButton(_ui->o_fitPageButton, addAction(tr("Fit Page"), {}, [view] { view->fitInView(); }),
             tr("Page"));
    const auto turn = [this, view](int by) { goToPageNo(view->currentPage() + 1 + by); };
    addAction(tr("Previous Page"), {Qt::Key_PageUp}, [turn] { turn(-1); });
    addAction(tr("Next Page"), {Qt::Key_PageDown}, [turn] { turn(1); });
    addAction(tr("First Page"), {Qt::Key_Home}, [this] { goToPageNo(1); });
    addAction(tr("Last Page"), {Qt::Key_End}, [this] { goToPageNo(_pdf ? _pdf->pageCount() : 0); });
}

QSPDFViewController::~QSPDFViewController()
{
    // A worker may still read a PDF that is this controller's child.
    const auto workers = findChildren<QFutureWatcher<void> *>(Qt::FindDirectChildrenOnly);
    for (QFutureWatcher<void> *worker : workers)
        worker->waitForFinished();
    if (_view && !_view->parent())
        delete _view;
}

QSPDFView *QSPDFViewController::pdfView() const
{
    return _ui->o_pdfView;
}

bool QSPDFViewController::setFilePath(const QString &path, QString *reason, Place place)
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

    _pending = pdf;
    if (pdf->pageCount() <= pagesMeasuredOnAWorker) {
        showDocument(pdf, path, place);
        return true;
    }
    // The view reads every page's size when it takes the document; PDFium keeps what
    // it read, so the view then reads them fast. What a newer load made stale is freed.
    // The watcher is a child, so its answer never reaches a controller that is gone.
    auto *worker = new QFutureWatcher<void>(this);
    connect(worker, &QFutureWatcherBase::finished, this, [this, worker, pdf, path, place] {
        worker->deleteLater();
        if (pdf == _pending)
            showDocument(pdf, path, place);
        else
            delete pdf;
    });
    worker->setFuture(QtConcurrent::run([pdf] {
        for (int page = 0; page < pdf->pageCount(); ++page)
            pdf->pagePointSize(page);
    }));
    return true;
}

void QSPDFViewController::showDocument(QPdfDocument *pdf, const QString &path, Place place)
{
    QSPDFView *view = pdfView();
    const bool reload = path == _currentDocumentPath || (place == Place::Kept && _pdf);
    const QPoint scrolled(view->horizontalScrollBar()->value(), view->verticalScrollBar()->value());
    _currentDocumentPath = path;
    if (!reload)
        restoreZoom();
    view->setDocument(pdf);
    delete _pdf;
    _pdf = pdf;
    if (reload) {
        view->horizontalScrollBar()->setValue(scrolled.x());
        view->verticalScrollBar()->setValue(scrolled.y());
    }
    showCurrentPage();
    emit documentShown();
}

void QSPDFViewController::setStateText(const QString &text)
{
    _ui->o_stateLabel->setText(text);
    _ui->o_stateLabel->setVisible(!text.isEmpty());
}

QString QSPDFViewController::stateText() const
{
    return _ui->o_stateLabel->text();
}

void QSPDFViewController::setNote(const QString &text, bool clickable)
{
    QLabel *label = _ui->o_noteLabel;
    _note = text;
    label->setTextFormat(clickable ? Qt::RichText : Qt::PlainText);
    label->setText(clickable ? QStringLiteral("<a href=\"#\">%1</a>").arg(text.toHtmlEscaped())
                             : text);
    label->setVisible(!text.isEmpty());
}

void QSPDFViewController::goToPageNo(int pageNumber)
{
    pdfView()->showPage(pageNumber - 1);
    showCurrentPage();
}

void QSPDFViewController::goToPosition(int pageNumber, QPointF point)
{
    pdfView()->showPoint(pageNumber - 1, point);
    showCurrentPage();
}

QSpinBox *QSPDFViewController::pageField() const
{
    return _ui->o_pageField;
}

// The field says "3 / 12"; what is typed into it turns the page, what it shows
// itself does not.
void QSPDFViewController::showCurrentPage()
{
    QSpinBox *field = pageField();
    const int pages = _pdf ? _pdf->pageCount() : 0;
    const QSignalBlocker quiet(field);
    field->setHidden(pages == 0);
    field->setMaximum(qMax(1, pages));
    field->setSuffix(QStringLiteral(" / %1").arg(pages));
    field->setValue(pdfView()->currentPage() + 1);
}

void QSPDFViewController::rememberZoom()
{
    if (_currentDocumentPath.isEmpty())
        return;
    const QString path = QFileInfo(_currentDocumentPath).absoluteFilePath();
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    QVariantList zooms = defaults.objectForKey(QSPDFZoomByDocument).toList();
    zooms.removeIf([&path](const QVariant &zoom) {
        return zoom.toMap().value(QStringLiteral("path")).toString() == path;
    });
    zooms.prepend(QVariantMap{{QStringLiteral("path"), path},
                              {QStringLiteral("zoom"), pdfView()->zoomFactor()},
                              {QStringLiteral("mode"), zoomModeName(pdfView()->zoomMode())}});
    defaults.setObject(zooms.mid(0, rememberedZooms), QSPDFZoomByDocument);
}

void QSPDFViewController::restoreZoom()
{
    const QString path = QFileInfo(_currentDocumentPath).absoluteFilePath();
    const QVariantList zooms =
        UserDefaults::standardUserDefaults().objectForKey(QSPDFZoomByDocument).toList();
    const auto remembered =
        std::find_if(zooms.cbegin(), zooms.cend(), [&path](const QVariant &zoom) {
            return zoom.toMap().value(QStringLiteral("path")).toString() == path;
        });
    if (remembered == zooms.cend())
        return;
    const QVariantMap zoom = remembered->toMap();
    bool known = false;
    const int mode = QMetaEnum::fromType<QPdfView::ZoomMode>().keyToValue(
        zoom.value(QStringLiteral("mode")).toString().toLatin1().constData(), &known);
    const qreal factor = zoom.value(QStringLiteral("zoom")).toReal();
    if (!known || !(factor > 0))
        return;
    pdfView()->setZoomFactor(std::clamp(factor, QSPDFView::minimumZoom, QSPDFView::maximumZoom));
    pdfView()->setZoomMode(QPdfView::ZoomMode(mode));
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
