#pragma once

#include <QWidget>

// The place of a template's icon in the template list; it draws nothing of its own.
class TemplateIconView : public QWidget
{
    Q_OBJECT

public:
    using QWidget::QWidget;
};
