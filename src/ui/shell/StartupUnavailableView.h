#pragma once

#include <QWidget>

class AppStore;
class QLabel;
class QPushButton;

// Shown while the service cannot be reached: the reason, a retry and quitting.
class StartupUnavailableView : public QWidget
{
    Q_OBJECT

public:
    explicit StartupUnavailableView(AppStore &store, QWidget *parent = nullptr);

private:
    void updateMessage();

    AppStore &m_store;
    QLabel *m_message = nullptr;
};
