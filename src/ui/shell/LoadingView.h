#pragma once

#include <QWidget>

// What the window shows while the start-up bootstrap decides.
class LoadingView : public QWidget
{
    Q_OBJECT

public:
    explicit LoadingView(QWidget *parent = nullptr);
};
