#pragma once

#include "PeopleRules.h"
#include "PeopleWidgets.h"
#include "models/ProjectRecords.h"
#include "models/Rundown.h"

#include <QCoro/QCoroTask>
#include <QWidget>

class MacProjectDataStore;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

// Minutes in steps of 5 between 5 and 180. A received value outside that range is shown as it
// is until the user steps.
class MakeupDurationStepper : public QWidget
{
    Q_OBJECT

public:
    explicit MakeupDurationStepper(int value, QWidget *parent = nullptr);

    int value() const { return m_value; }
    void setValue(int value);

Q_SIGNALS:
    void stepped(int value);

private:
    void step(int direction);
    void updateState();

    int m_value;
    QLabel *m_label;
    QToolButton *m_down;
    QToolButton *m_up;
};

// One makeup artist with that artist's working shift.
class MacMakeupShiftEditor : public TintedPanel
{
    Q_OBJECT

public:
    MacMakeupShiftEditor(MacProjectDataStore &store, ProjectMember artist, bool canEdit, QString startTime,
                         QString endTime, QString location, QWidget *parent = nullptr);

    // A reload: the fields the user has not changed follow the new values.
    void refresh(const ProjectMember &artist, bool canEdit, const QString &startTime, const QString &endTime,
                const QString &location);

private:
    QCoro::Task<> save();
    void updateState();

    MacProjectDataStore &m_store;
    ProjectMember m_artist;
    bool m_canEdit;
    bool m_saving = false;
    PeopleRules::SeededField<QString> m_startSeed;
    PeopleRules::SeededField<QString> m_endSeed;
    PeopleRules::SeededField<QString> m_locationSeed;

    PeopleWidgets::Disc *m_avatar;
    QLabel *m_name;
    QLabel *m_registration;
    QLineEdit *m_start;
    QLineEdit *m_end;
    QLineEdit *m_location;
    QPushButton *m_save;
};

// Assigns a member without an assignment to a makeup artist; directors only.
class MacMakeupAssignmentCreator : public TintedPanel
{
    Q_OBJECT

public:
    MacMakeupAssignmentCreator(MacProjectDataStore &store, ProjectDetailResponse detail,
                               QList<ProjectMember> artists, QWidget *parent = nullptr);

    void refresh(ProjectDetailResponse detail, QList<ProjectMember> artists);
    const QString &memberID() const { return m_memberID; }
    const QString &artistID() const { return m_artistID; }

private:
    QCoro::Task<> assign();
    void fillPickers();
    void updateState();

    MacProjectDataStore &m_store;
    ProjectDetailResponse m_detail;
    QList<ProjectMember> m_artists;
    QString m_memberID;
    QString m_artistID;
    bool m_saving = false;
    QStringList m_shownChoices;

    QComboBox *m_members;
    QComboBox *m_artistPicker;
    QPushButton *m_assign;
};

// Edits one existing assignment: artist, time, duration and status.
class MacMakeupAssignmentEditor : public TintedPanel
{
    Q_OBJECT

public:
    MacMakeupAssignmentEditor(MacProjectDataStore &store, MakeupAssignment assignment,
                              QList<ProjectMember> members, QList<ProjectMember> artists, bool canReassign,
                              QWidget *parent = nullptr);

    // A reload: the fields the user has not changed follow the new record.
    void refresh(const MakeupAssignment &assignment, QList<ProjectMember> members,
                QList<ProjectMember> artists, bool canReassign);

    const QString &artistID() const { return m_artistID; }
    const QString &status() const { return m_status; }

private:
    QCoro::Task<> save();
    void fillArtists();
    void showMember();
    void updateState();

    MacProjectDataStore &m_store;
    MakeupAssignment m_assignment;
    QList<ProjectMember> m_members;
    QList<ProjectMember> m_artists;
    QList<QPair<QString, QString>> m_shownArtists;
    bool m_canReassign;
    QString m_artistID;
    QString m_status;
    bool m_saving = false;
    PeopleRules::SeededField<QString> m_artistSeed;
    PeopleRules::SeededField<QString> m_timeSeed;
    PeopleRules::SeededField<int> m_durationSeed;
    PeopleRules::SeededField<QString> m_statusSeed;

    QLabel *m_name;
    QLabel *m_arrival;
    QLineEdit *m_time;
    MakeupDurationStepper *m_duration;
    QComboBox *m_artistPicker;
    QComboBox *m_statusPicker;
    QPushButton *m_save;
};
