#pragma once

#include <QString>
#include <QWidget>

#include <functional>

// The platform super-administrator console, filling the window in place of the project home.
// For now only its header and the way back.
class MacAdminView : public QWidget
{
    Q_OBJECT

public:
    MacAdminView(QString accountName, std::function<void()> onExit, QWidget *parent = nullptr);

private:
    std::function<void()> m_onExit;
};
