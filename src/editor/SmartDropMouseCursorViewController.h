#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <memory>

class QLabel;
namespace Ui {
class SmartDropMouseCursorView;
}

// A small label that follows the pointer while a file is dragged over the text and
// shows the snippet the drop will insert.
class SmartDropMouseCursorViewController : public QObject
{
    Q_OBJECT

public:
    explicit SmartDropMouseCursorViewController(QWidget *parent);
    ~SmartDropMouseCursorViewController() override;

    QWidget *view() const;
    QString title() const { return QStringLiteral("SmartDrop MouseCursor"); }
    QString dataToShow() const { return _dataToShow; }
    // An empty snippet shows nothing.
    void setDataToShow(const QString &data);
    // Places the label just below and right of the pointer.
    void followPointer(const QPoint &position);

private:
    std::unique_ptr<Ui::SmartDropMouseCursorView> _ui;
    QPointer<QLabel> _view; // owned by the parent widget
    QString _dataToShow;
};
