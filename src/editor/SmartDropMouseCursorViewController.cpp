#include "editor/SmartDropMouseCursorViewController.h"

#include "platform/Log.h"
#include "ui_SmartDropMouseCursorView.h"

#include <QLabel>

SmartDropMouseCursorViewController::SmartDropMouseCursorViewController(QWidget *parent)
    : QObject(parent)
    , _ui(std::make_unique<Ui::SmartDropMouseCursorView>())
    , _view(new QLabel(parent))
{
    qsLog(quillsetEditor, QStringLiteral("creating SmartDropMouseCursorViewController"));
    _ui->setupUi(_view);
    _view->hide();
    _view->setAttribute(Qt::WA_TransparentForMouseEvents);
}

SmartDropMouseCursorViewController::~SmartDropMouseCursorViewController()
{
    delete _view;
}

QWidget *SmartDropMouseCursorViewController::view() const
{
    return _view;
}

void SmartDropMouseCursorViewController::setDataToShow(const QString &data)
{
    _dataToShow = data;
    // A long snippet shows its first line, shortened.
    const QString firstLine = data.section(u'\n', 0, 0);
    _view->setText(firstLine.size() > 60 ? firstLine.left(57) + QStringLiteral("...") : firstLine);
    _view->adjustSize();
    _view->setVisible(!data.isEmpty());
}

void SmartDropMouseCursorViewController::followPointer(const QPoint &position)
{
    _view->move(position + QPoint(14, 18));
    _view->raise();
}
