#include "FlowItemDelegate.h"

#include "FlowPageState.h"
#include "FlowRules.h"
#include "FlowTableModel.h"
#include "MacInlineEditor.h"
#include "common/AsyncAction.h"
#include "common/Theme.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionButton>
#include <QTimer>
#include <QToolTip>

namespace {

using Part = FlowItemDelegate::Part;
using Col = FlowTableModel::Column;

constexpr int lineHeight = 26;
constexpr int iconButton = 22;
const QString lotteryConsoleText = QStringLiteral("抽奖控制台");

bool isLive(const RundownItem &item)
{
    return item.liveStatus == RundownValues::live;
}

bool showsLotteryConsole(const FlowRow &row)
{
    return isLive(row.item) && FlowRules::isLotteryItem(row.item) && row.canOperateLottery;
}

int textWidth(const QFont &font, const QString &text)
{
    return QFontMetrics(font).horizontalAdvance(text);
}

QFont styleFont(Theme::TextStyle style, QFont::Weight weight = QFont::Normal)
{
    return weight == QFont::Normal ? Theme::font(style) : Theme::font(style, weight);
}

QRect centred(const QRect &cell, int width, int height, int dy = 0)
{
    return QRect(cell.center().x() - width / 2 + 1, cell.center().y() - height / 2 + 1 + dy, width, height);
}

QString typeLabel(const FlowRow &row)
{
    if (!row.item.type.isEmpty()) {
        return row.item.type;
    }
    return row.canEdit ? QStringLiteral("稍后设置") : QStringLiteral("未设置");
}

bool isLegacyType(const QString &type)
{
    return !ProgramTypeCatalog::standard.contains(type);
}

QString peopleText(const FlowRow &row, int column)
{
    const QString &text = column == Col::performers ? row.item.performers : row.item.owner;
    return text.isEmpty() ? QStringLiteral("＋") : text;
}

// The style caches each button's picture under a key made from the palette's identity, and this
// Qt keeps every such key it has seen. A palette changed afresh for every paint made a new key for
// every button painted, so equal palettes are handed out as the very same one.
QPalette buttonPalette(const QPalette &base, const QColor &textColour)
{
    struct Made
    {
        QPalette base;
        QColor textColour;
        QPalette palette;
    };
    // A few tints over one or two palettes; a theme change leaves only a handful behind.
    constexpr qsizetype kept = 16;
    static QList<Made> made;
    for (const Made &m : std::as_const(made)) {
        if (m.textColour == textColour && m.base == base) {
            return m.palette;
        }
    }
    QPalette palette = base;
    palette.setColor(QPalette::ButtonText, textColour);
    if (made.size() == kept) {
        made.removeFirst();
    }
    made.append({base, textColour, palette});
    return palette;
}

// A push button drawn by the style, so painted buttons look like real ones.
void drawButton(QPainter *painter, const QRect &rect, const QString &text, const QColor &textColour,
                bool enabled, const QWidget *widget)
{
    QStyleOptionButton option;
    option.rect = rect;
    option.text = text;
    option.state = enabled ? QStyle::State_Enabled : QStyle::State_None;
    option.state |= QStyle::State_Raised;
    option.fontMetrics = QFontMetrics(styleFont(Theme::TextStyle::callout));
    option.palette = buttonPalette(widget ? widget->palette() : QApplication::palette(), textColour);
    painter->save();
    painter->setFont(styleFont(Theme::TextStyle::callout));
    QApplication::style()->drawControl(QStyle::CE_PushButton, &option, painter, widget);
    painter->restore();
}

void drawIcon(QPainter *painter, const QRect &rect, const QString &symbol, const QColor &tint)
{
    const int size = std::min(rect.width(), rect.height());
    const QPixmap pixmap = Theme::symbolPixmap(symbol, size, tint);
    painter->drawPixmap(centred(rect, size, size), pixmap);
}

void drawCapsule(QPainter *painter, const QRect &rect, const QColor &fill)
{
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(Qt::NoPen);
    painter->setBrush(fill);
    painter->drawRoundedRect(QRectF(rect), rect.height() / 2.0, rect.height() / 2.0);
    painter->restore();
}

QCoro::Task<bool> saveCell(QPointer<FlowPageState> state, QString itemID, int column, QString text)
{
    if (!state) {
        co_return false;
    }
    RundownItemPatch patch;
    switch (column) {
    case Col::time:
        patch.startTime = text;
        break;
    case Col::title:
        patch.title = text;
        break;
    case Col::duration: {
        const auto seconds = FlowRules::durationSeconds(text);
        if (!seconds) {
            co_return false;
        }
        patch.duration = *seconds;
        break;
    }
    case Col::props:
        patch.props = text;
        break;
    case Col::notes:
        patch.notes = text;
        break;
    default:
        co_return false;
    }
    auto saved = state->updateItem(itemID, std::move(patch));
    co_return co_await saved;
}

} // namespace

FlowItemDelegate::FlowItemDelegate(FlowPageState &state, QAbstractItemView *view)
    : QStyledItemDelegate(view)
    , m_state(state)
    , m_view(view)
{}

QString FlowItemDelegate::liveButtonText(const FlowRow &row)
{
    if (isLive(row.item)) {
        return QStringLiteral("停止");
    }
    return row.item.liveStatus == RundownValues::finished ? QStringLiteral("重新开演")
                                                          : QStringLiteral("开演");
}

QRect FlowItemDelegate::partRect(const FlowRow &row, int column, Part part, const QRect &cell)
{
    const QRect inner = cell.adjusted(6, 0, -6, 0);
    switch (column) {
    case Col::live: {
        const bool console = showsLotteryConsole(row);
        if (row.canManage) {
            const int dy = console && isLive(row.item) ? -14 : 0;
            if (part == Part::liveButton) {
                return centred(inner, std::min(inner.width(), 88), 24, dy);
            }
            if (part == Part::lotteryConsole && console) {
                return centred(inner, std::min(inner.width(), 104), 24, 14);
            }
            return {};
        }
        if (part == Part::lotteryConsole && console) {
            return centred(inner, std::min(inner.width(), 104), 24);
        }
        return {};
    }
    case Col::order: {
        if (!row.showsMoveButtons || (part != Part::moveUp && part != Part::moveDown)) {
            return {};
        }
        const QRect group = centred(inner, 24 + 3 + 16, 36);
        const QRect arrows(group.left() + 27, group.top(), 16, 36);
        return part == Part::moveUp ? arrows.adjusted(0, 0, 0, -18) : arrows.adjusted(0, 18, 0, 0);
    }
    case Col::time:
    case Col::duration:
    case Col::props:
    case Col::notes:
        return part == Part::editor ? centred(inner, inner.width(), 30) : QRect();
    case Col::title: {
        const int top = cell.top() + (cell.height() - lineHeight - 22) / 2;
        const bool gift = FlowRules::isLotteryItem(row.item) && row.canConfigureLottery;
        const int buttons = iconButton + 5 + (gift ? iconButton + 5 : 0);
        const QRect line(inner.left(), top, inner.width(), lineHeight);
        switch (part) {
        case Part::editor:
            return line.adjusted(0, 0, -buttons, 0);
        case Part::programButton:
            return QRect(line.right() - buttons + 6, top + 2, iconButton, iconButton);
        case Part::lotteryButton:
            return gift ? QRect(line.right() - iconButton + 1, top + 2, iconButton, iconButton) : QRect();
        case Part::typeSelector: {
            const QFont f = styleFont(Theme::TextStyle::caption, QFont::Bold);
            int width = textWidth(f, typeLabel(row)) + 8;
            if (row.canEdit) {
                width += (isLegacyType(row.item.type) ? 18 : 0) + 14;
            }
            return QRect(inner.left() + 4, top + lineHeight + 2, std::min(width, inner.width()), 20);
        }
        default:
            return {};
        }
    }
    case Col::performers:
    case Col::owner:
        return part == Part::peopleButton ? inner.adjusted(0, 6, 0, -6) : QRect();
    case Col::assets:
        return part == Part::assetsButton ? centred(inner, 16 + 7 + 16 + 12, 28) : QRect();
    case Col::readiness: {
        if (part != Part::readinessButton) {
            return {};
        }
        const QFont f = styleFont(Theme::TextStyle::caption, QFont::Bold);
        const int width = std::min(inner.width(), textWidth(f, row.item.status) + 16);
        return centred(inner, std::max(width, 24), QFontMetrics(f).height() + 10);
    }
    default:
        return {};
    }
}

bool FlowItemDelegate::isActionable(const FlowRow &row, int column, Part part)
{
    if (row.busy) {
        return false;
    }
    switch (part) {
    case Part::none:
        return false;
    case Part::moveUp:
        return !row.upDisabled;
    case Part::moveDown:
        return !row.downDisabled;
    case Part::editor:
    case Part::typeSelector:
    case Part::peopleButton:
        return row.canEdit;
    case Part::programButton:
        return row.canEdit || row.canEditScript;
    case Part::liveButton:
        return row.canManage;
    default:
        Q_UNUSED(column);
        return true;
    }
}

FlowItemDelegate::Part FlowItemDelegate::partAt(const FlowRow &row, int column, const QRect &cell,
                                                const QPoint &pos)
{
    static const Part parts[] = {Part::liveButton,    Part::lotteryConsole, Part::moveUp,
                                 Part::moveDown,      Part::editor,         Part::programButton,
                                 Part::lotteryButton, Part::typeSelector,   Part::peopleButton,
                                 Part::assetsButton,  Part::readinessButton};
    for (Part part : parts) {
        if (partRect(row, column, part, cell).contains(pos)) {
            return part;
        }
    }
    return Part::none;
}

QSize FlowItemDelegate::sizeHint(const QStyleOptionViewItem &, const QModelIndex &index) const
{
    return QSize(FlowTableModel::columnWidth(index.column()), 64);
}

void FlowItemDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                             const QModelIndex &index) const
{
    const auto *model = qobject_cast<const FlowTableModel *>(index.model());
    if (!model || index.row() >= model->rowCount()) {
        return;
    }
    const FlowRow &row = model->row(index.row());
    const RundownItem &item = row.item;
    const QRect cell = option.rect;
    const QWidget *widget = option.widget;
    const bool inert = row.busy && model->inertShown();
    const bool enabled = !inert;

    painter->save();
    painter->fillRect(cell, FlowRules::rowColor(item));
    if (item.liveStatus == RundownValues::finished) {
        painter->setOpacity(0.58);
    }
    if (inert) {
        painter->setOpacity(painter->opacity() * 0.6);
    }
    const QColor primary = Theme::colour(Theme::Colour::primary);
    const QColor secondary = Theme::colour(Theme::Colour::secondary);
    const QRect inner = cell.adjusted(6, 0, -6, 0);

    const auto drawText = [&](const QRect &r, const QString &text, const QFont &f, const QColor &c,
                              Qt::Alignment align, bool wrap = false) {
        painter->setFont(f);
        painter->setPen(c);
        const int flags = int(align) | (wrap ? Qt::TextWordWrap : 0);
        if (wrap) {
            painter->drawText(r, flags, text);
        } else {
            painter->drawText(r, flags, QFontMetrics(f).elidedText(text, Qt::ElideRight, r.width()));
        }
    };
    const auto drawInline = [&](int column, const QString &placeholder, Theme::TextStyle style,
                                Qt::Alignment align) {
        const QRect r = partRect(row, column, Part::editor, cell).adjusted(4, 0, -4, 0);
        const QString value = FlowTableModel::editValue(row, column);
        QFont f = styleFont(style, style == Theme::TextStyle::headline ? QFont::DemiBold : QFont::Normal);
        drawText(r, value.isEmpty() ? placeholder : value, f, value.isEmpty() ? secondary : primary, align);
    };

    switch (index.column()) {
    case Col::live: {
        if (row.canManage) {
            const QColor tint = isLive(item) ? Theme::colour(Theme::Colour::red) : primary;
            drawButton(painter, partRect(row, Col::live, Part::liveButton, cell), liveButtonText(row), tint,
                       enabled, widget);
            if (showsLotteryConsole(row)) {
                drawButton(painter, partRect(row, Col::live, Part::lotteryConsole, cell), lotteryConsoleText,
                           Theme::colour(Theme::Colour::orange), enabled, widget);
            }
        } else if (showsLotteryConsole(row)) {
            drawButton(painter, partRect(row, Col::live, Part::lotteryConsole, cell), lotteryConsoleText,
                       Theme::colour(Theme::Colour::orange), enabled, widget);
        } else {
            drawText(inner, item.liveStatus, styleFont(Theme::TextStyle::caption), primary, Qt::AlignCenter);
        }
        break;
    }
    case Col::order: {
        const QString number = QString::number(item.order);
        if (row.showsMoveButtons) {
            const QRect up = partRect(row, Col::order, Part::moveUp, cell);
            const QRect numberRect(up.left() - 27, cell.top(), 24, cell.height());
            drawText(numberRect, number, styleFont(Theme::TextStyle::headline, QFont::DemiBold), primary,
                     Qt::AlignCenter);
            const QColor indigo = Theme::colour(Theme::Colour::indigo);
            const QColor off = Theme::colour(Theme::Colour::secondary, 0.35);
            drawIcon(painter, up.adjusted(1, 2, -1, -2), QStringLiteral("chevron.up"),
                     row.upDisabled || !enabled ? off : indigo);
            drawIcon(painter, partRect(row, Col::order, Part::moveDown, cell).adjusted(1, 2, -1, -2),
                     QStringLiteral("chevron.down"), row.downDisabled || !enabled ? off : indigo);
        } else {
            drawText(inner, number, styleFont(Theme::TextStyle::headline, QFont::DemiBold), primary,
                     Qt::AlignCenter);
        }
        break;
    }
    case Col::time:
        drawInline(Col::time, QStringLiteral("--:--"), Theme::TextStyle::body, Qt::AlignCenter);
        break;
    case Col::duration:
        drawInline(Col::duration, QStringLiteral("00:00"), Theme::TextStyle::body, Qt::AlignCenter);
        break;
    case Col::props:
        drawInline(Col::props, QStringLiteral("＋"), Theme::TextStyle::callout, Qt::AlignCenter);
        break;
    case Col::notes:
        drawInline(Col::notes, QStringLiteral("＋"), Theme::TextStyle::callout, Qt::AlignCenter);
        break;
    case Col::title: {
        drawInline(Col::title, QStringLiteral("点击填写节目"), Theme::TextStyle::headline,
                   Qt::AlignLeft | Qt::AlignVCenter);
        const bool programEnabled = enabled && (row.canEdit || row.canEditScript);
        drawIcon(painter, partRect(row, Col::title, Part::programButton, cell).adjusted(3, 3, -3, -3),
                 QStringLiteral("doc.text"),
                 programEnabled ? Theme::colour(Theme::Colour::indigo)
                                : Theme::colour(Theme::Colour::secondary, 0.35));
        const QRect gift = partRect(row, Col::title, Part::lotteryButton, cell);
        if (!gift.isEmpty()) {
            drawIcon(painter, gift.adjusted(3, 3, -3, -3), QStringLiteral("gift"),
                     Theme::colour(Theme::Colour::orange));
        }
        const QRect type = partRect(row, Col::title, Part::typeSelector, cell);
        const QFont typeFont = styleFont(Theme::TextStyle::caption, QFont::Bold);
        const QColor typeColour = FlowRules::typeColor(item.type);
        const QString label = typeLabel(row);
        const int labelWidth = textWidth(typeFont, label);
        drawText(QRect(type.left(), type.top(), labelWidth + 2, type.height()), label, typeFont, typeColour,
                 Qt::AlignLeft | Qt::AlignVCenter);
        if (row.canEdit) {
            int x = type.left() + labelWidth + 4;
            if (isLegacyType(item.type)) {
                drawIcon(painter, QRect(x, type.top() + 3, 14, 14),
                         QStringLiteral("exclamationmark.triangle.fill"),
                         Theme::colour(Theme::Colour::orange));
                x += 18;
            }
            drawIcon(painter, QRect(x, type.top() + 5, 10, 10), QStringLiteral("chevron.down"), secondary);
        }
        break;
    }
    case Col::performers:
    case Col::owner: {
        const QRect r = partRect(row, index.column(), Part::peopleButton, cell);
        const QFont f = styleFont(Theme::TextStyle::callout);
        const QString text = peopleText(row, index.column());
        // At most two lines: elide what would spill into a third.
        QFontMetrics metrics(f);
        QString shown = text;
        if (metrics.boundingRect(r, Qt::TextWordWrap, text).height() > metrics.lineSpacing() * 2) {
            shown = metrics.elidedText(text, Qt::ElideRight, r.width() * 2 - metrics.averageCharWidth() * 2);
        }
        drawText(r, shown, f, row.canEdit ? primary : secondary, Qt::AlignLeft | Qt::AlignVCenter, true);
        break;
    }
    case Col::assets: {
        const QRect r = partRect(row, Col::assets, Part::assetsButton, cell);
        const QColor off = Theme::colour(Theme::Colour::secondary, 0.35);
        drawIcon(painter, QRect(r.left() + 6, r.center().y() - 7, 16, 16), QStringLiteral("music.note"),
                 item.audioName.isEmpty() ? off : Theme::colour(Theme::Colour::indigo));
        drawIcon(painter, QRect(r.left() + 6 + 16 + 7, r.center().y() - 7, 16, 16),
                 QStringLiteral("play.rectangle"),
                 item.videoName.isEmpty() ? off : Theme::colour(Theme::Colour::purple));
        break;
    }
    case Col::readiness: {
        const QRect r = partRect(row, Col::readiness, Part::readinessButton, cell);
        const QColor colour = FlowRules::statusColor(item.status);
        QColor fill = colour;
        fill.setAlphaF(0.1);
        drawCapsule(painter, r, fill);
        drawText(r, item.status, styleFont(Theme::TextStyle::caption, QFont::Bold), colour, Qt::AlignCenter);
        break;
    }
    default:
        break;
    }
    painter->restore();
}

bool FlowItemDelegate::editorEvent(QEvent *event, QAbstractItemModel *model,
                                   const QStyleOptionViewItem &option, const QModelIndex &index)
{
    if (event->type() != QEvent::MouseButtonRelease) {
        // Presses and double clicks are taken too, so the view never starts its own editing.
        return event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick;
    }
    const auto *mouse = static_cast<QMouseEvent *>(event);
    const auto *flowModel = qobject_cast<const FlowTableModel *>(model);
    if (mouse->button() != Qt::LeftButton || !flowModel || index.row() >= flowModel->rowCount()) {
        return true;
    }
    const FlowRow row = flowModel->row(index.row());
    if (row.busy) {
        return true;
    }
    const Part part = partAt(row, index.column(), option.rect, mouse->position().toPoint());
    if (part != Part::none) {
        activate(row, index.column(), part, index, option.rect);
    }
    return true;
}

void FlowItemDelegate::activate(const FlowRow &row, int column, Part part, const QModelIndex &index,
                                const QRect &cell)
{
    const RundownItem &item = row.item;
    FlowPageState *state = &m_state;
    switch (part) {
    case Part::liveButton:
        if (row.canManage) {
            const QString action = isLive(item) ? QStringLiteral("stop") : QStringLiteral("start");
            AsyncAction::run(
                state, state->liveAction(action, item), [] {}, [](const QString &) {});
        }
        break;
    case Part::lotteryConsole:
        state->setLotteryContext(MacLotteryContext{item, MacLotteryContext::Presentation::console});
        break;
    case Part::moveUp:
    case Part::moveDown:
        if ((part == Part::moveUp && row.upDisabled) || (part == Part::moveDown && row.downDisabled)) {
            break;
        }
        AsyncAction::run(
            state, state->moveItem(item, part == Part::moveUp ? -1 : 1), [] {}, [](const QString &) {});
        break;
    case Part::editor:
        if (row.canEdit && m_view) {
            m_view->openPersistentEditor(index);
        }
        break;
    case Part::programButton:
        if (row.canEdit || row.canEditScript) {
            state->setProgramItem(item);
        }
        break;
    case Part::lotteryButton:
        state->setLotteryContext(MacLotteryContext{item, MacLotteryContext::Presentation::settings});
        break;
    case Part::typeSelector:
        if (row.canEdit && m_view) {
            const QRect r = partRect(row, column, part, cell);
            Q_EMIT typeMenuRequested(item.id, m_view->viewport()->mapToGlobal(r.bottomLeft()));
        }
        break;
    case Part::peopleButton:
        if (row.canEdit) {
            state->setPeopleEditor(MacPeopleEditorContext{
                item, column == Col::performers ? MacPeopleEditorContext::Field::performers
                                                : MacPeopleEditorContext::Field::owners});
        }
        break;
    case Part::assetsButton:
        state->setAssetItem(item);
        break;
    case Part::readinessButton:
        state->openTasks();
        break;
    case Part::none:
        break;
    }
}

QWidget *FlowItemDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &,
                                        const QModelIndex &index) const
{
    const auto *model = qobject_cast<const FlowTableModel *>(index.model());
    if (!model || !FlowTableModel::isInlineColumn(index.column())) {
        return nullptr;
    }
    const FlowRow &row = model->row(index.row());
    const int column = index.column();
    QString placeholder;
    Theme::TextStyle style = Theme::TextStyle::body;
    MacInlineEditor::Validation validation = &MacInlineEditor::acceptAll;
    switch (column) {
    case Col::time:
        placeholder = QStringLiteral("--:--");
        validation = &FlowRules::isValidStartTime;
        break;
    case Col::title:
        placeholder = QStringLiteral("点击填写节目");
        style = Theme::TextStyle::headline;
        break;
    case Col::duration:
        placeholder = QStringLiteral("00:00");
        validation = &FlowRules::isValidDuration;
        break;
    default:
        placeholder = QStringLiteral("＋");
        style = Theme::TextStyle::callout;
        break;
    }
    QPointer<FlowPageState> state(&m_state);
    const QString itemID = row.item.id;
    auto *editor = new MacInlineEditor(
        FlowTableModel::editValue(row, column), placeholder, row.canEdit, Theme::font(style),
        Theme::colour(Theme::Colour::primary), validation,
        [state, itemID, column](QString text) { return saveCell(state, itemID, column, std::move(text)); },
        parent);
    editor->setObjectName(QStringLiteral("flowInlineEditor"));
    editor->setAutoFillBackground(true);
    const QPersistentModelIndex where(index);
    QPointer<QAbstractItemView> view = m_view;
    connect(editor, &MacInlineEditor::editingChanged, editor, [view, where](bool editing) {
        if (!editing && view) {
            // Closed after the signal returns: the view deletes the editor.
            QTimer::singleShot(0, view, [view, where] {
                if (view && where.isValid()) {
                    view->closePersistentEditor(where);
                }
            });
        }
    });
    editor->beginEditing();
    return editor;
}

void FlowItemDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    auto *inlineEditor = qobject_cast<MacInlineEditor *>(editor);
    const auto *model = qobject_cast<const FlowTableModel *>(index.model());
    if (!inlineEditor || !model || index.row() >= model->rowCount()) {
        return;
    }
    const FlowRow &row = model->row(index.row());
    // The editor keeps an open draft; only its at-rest value follows the service.
    inlineEditor->setValue(FlowTableModel::editValue(row, index.column()));
    inlineEditor->setCanEdit(row.canEdit);
    inlineEditor->setBlocked(row.busy);
}

void FlowItemDelegate::setModelData(QWidget *, QAbstractItemModel *, const QModelIndex &) const
{
    // Saving goes through the page state, never into the model.
}

void FlowItemDelegate::updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                                            const QModelIndex &index) const
{
    const auto *model = qobject_cast<const FlowTableModel *>(index.model());
    if (!model || index.row() >= model->rowCount()) {
        return;
    }
    editor->setGeometry(partRect(model->row(index.row()), index.column(), Part::editor, option.rect));
}

bool FlowItemDelegate::helpEvent(QHelpEvent *event, QAbstractItemView *view,
                                 const QStyleOptionViewItem &option, const QModelIndex &index)
{
    const auto *model = qobject_cast<const FlowTableModel *>(index.model());
    if (!event || event->type() != QEvent::ToolTip || !model || index.row() >= model->rowCount()) {
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    }
    const FlowRow &row = model->row(index.row());
    QString tip;
    switch (partAt(row, index.column(), option.rect, event->pos())) {
    case Part::editor:
        tip = MacInlineEditor::editTooltip(row.canEdit);
        break;
    case Part::lotteryButton:
        tip = QStringLiteral("奖项设置");
        break;
    case Part::typeSelector:
        if (row.canEdit && isLegacyType(row.item.type)) {
            tip = QStringLiteral("旧类型需要人工映射");
        }
        break;
    case Part::readinessButton:
        tip = QStringLiteral("准备状态由统一任务与业务事实生成；点击打开任务与处置");
        break;
    default:
        break;
    }
    if (tip.isEmpty()) {
        QToolTip::hideText();
    } else {
        QToolTip::showText(event->globalPos(), tip, view);
    }
    return true;
}

bool FlowItemDelegate::eventFilter(QObject *, QEvent *)
{
    return false;
}
