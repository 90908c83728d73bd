#pragma once

#include <QColor>
#include <QCoro/QCoroTask>
#include <QFont>
#include <QString>
#include <QWidget>

#include <functional>

class QLineEdit;
class QPushButton;
class QStackedLayout;

// A one-line cell editor: a clickable label at rest, a text field while editing. Return commits
// the trimmed text if it passes the validation, through the asynchronous save; only a save that
// answers true closes the field. Esc drops the draft. While a save runs the editor is disabled.
// A new value replaces the draft only at rest, so an open field keeps what the user typed.
class MacInlineEditor : public QWidget
{
    Q_OBJECT

public:
    using Validation = std::function<bool(const QString &)>;
    // Must not throw: answers false on failure (the caller shows its own error).
    using Save = std::function<QCoro::Task<bool>(QString)>;

    static bool acceptAll(const QString &) { return true; }

    // The theme's faces draw every digit at one width, so times and durations need no other font.
    MacInlineEditor(QString value, QString placeholder, bool canEdit, QFont font, QColor color,
                    Validation validation, Save onSave, QWidget *parent = nullptr);
    ~MacInlineEditor() override;

    const QString &value() const { return m_value; }
    void setValue(const QString &value);
    bool canEdit() const { return m_canEdit; }
    void setCanEdit(bool canEdit);

    // Disables the editor while its row is inert (another action of the page is in flight).
    void setBlocked(bool blocked);

    bool isEditing() const { return m_editing; }
    bool isSaving() const { return m_saving; }
    bool isInvalid() const { return m_invalid; }
    QString draft() const;
    QLineEdit *field() const { return m_field; }

    // What a click on the label does: the draft starts from the value.
    void beginEditing();
    // What Esc does.
    void cancelEditing();
    // What Return does.
    void commit();

    static QString editTooltip(bool canEdit);

Q_SIGNALS:
    void editingChanged(bool editing);
    void savingChanged(bool saving);
    void invalidChanged(bool invalid);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setEditing(bool editing);
    void setSaving(bool saving);
    void setInvalid(bool invalid);
    void updateLabel();

    QString m_value;
    QString m_placeholder;
    bool m_canEdit;
    QFont m_font;
    QColor m_color;
    Validation m_validation;
    Save m_onSave;

    bool m_editing = false;
    bool m_saving = false;
    bool m_invalid = false;
    bool m_blocked = false;

    QStackedLayout *m_stack;
    QPushButton *m_label;
    QLineEdit *m_field;
};
