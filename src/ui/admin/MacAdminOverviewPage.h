#pragma once

#include "models/Admin.h"

#include <QScrollArea>

#include <optional>

class QVBoxLayout;

// The overview page: the platform's figures and the state of its text messages.
class MacAdminOverviewPage : public QScrollArea
{
    Q_OBJECT

public:
    explicit MacAdminOverviewPage(QWidget *parent = nullptr);

    void showOverview(const std::optional<AdminOverview> &overview);

private:
    QVBoxLayout *m_layout = nullptr;
    QWidget *m_content = nullptr;
};
