#pragma once

#include <QString>
#include <QWidget>

class QLabel;

// Whether a rundown item has an asset of one kind on the service (not on this computer).
class AssetReadyBadge : public QWidget
{
    Q_OBJECT

public:
    static constexpr int width = 190;

    AssetReadyBadge(QString name, QString icon, bool exists, QWidget *parent = nullptr);

    // "未上传", "已上传" or the file name.
    static QString text(const QString &name, bool exists);
    QString text() const;
    bool exists() const { return m_exists; }

private:
    QString m_name;
    bool m_exists;
    QLabel *m_text;
};
