#pragma once

#include "common/Theme.h"

#include <QColor>
#include <QList>
#include <QString>

struct AdminRow;
class MacAdminTableModel;
class QLayout;
class QScrollArea;
class QTableView;
class QWidget;
class TintedPanel;

// Pieces the pages of the administration console share.
namespace MacAdminWidgets {

// A rounded, tinted card. Painted rather than styled: a style sheet on each card is parsed again
// for it and all its children, and the project cards are rebuilt as the administrator types.
TintedPanel *panel(const QString &objectName, const QColor &fill, int radius);
// A frameless scroll area that scrolls `content` vertically only, its scroll bar always shown.
QScrollArea *scrollArea(QWidget *content, const QString &objectName);
void setUpScrollArea(QScrollArea *scroll, QWidget *content, const QString &objectName);
// A centred symbol over a title, in place of an empty list.
QWidget *unavailable(const QString &title, const QString &symbol, const QString &objectName);
// Empties the layout, nested layouts included; its widgets go later.
void clearLayout(QLayout *layout);
// A reload after an action keeps the list where the administrator was; a new search starts at
// the top.
void setRows(QTableView *view, MacAdminTableModel *model, QList<AdminRow> rows, bool keepPlace);
// The coloured metric card of the overview and users pages.
QWidget *adminMetric(const QString &title, const QString &value, const QString &detail, Theme::Colour colour,
                     QWidget *parent = nullptr);

} // namespace MacAdminWidgets
