#pragma once

#include <QWidget>

// The list of templates in the new-document sheet; so far it only marks its place.
class TemplatesListView : public QWidget
{
    Q_OBJECT

public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent *event) override;
};
