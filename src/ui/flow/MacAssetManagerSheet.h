#pragma once

#include "models/Rundown.h"

#include <QCoro/QCoroTask>
#include <QDialog>
#include <QPointer>
#include <QSet>

#include <functional>

class APIClient;
class QLabel;
class QProgressBar;
class QPushButton;

// Manages the audio and the video of one rundown item: uploads a file from this computer (a
// first upload or a replacement) and prepares an uploaded asset on this computer, where live
// playback then finds it. Open it with open(); transfers carry on after it closes.
class MacAssetManagerSheet : public QDialog
{
    Q_OBJECT

public:
    // Runs after a successful upload, before the sheet closes.
    using UploadedHandler = std::function<QCoro::Task<>()>;

    MacAssetManagerSheet(APIClient &client, QString projectID, RundownItem item, bool canUpload,
                         UploadedHandler onUploaded, QWidget *parent = nullptr);
    ~MacAssetManagerSheet() override;

    // The file picker's choice for "audio" or "video": measures and uploads it.
    void handleImport(const QString &path, const QString &category);
    void prepare(const QString &category);
    // The page's upload rule as it is now (the rundown froze, the role changed).
    void setCanUpload(bool canUpload);

    const QString &preparing() const { return m_preparing; }
    const QString &uploading() const { return m_uploading; }
    const QSet<QString> &prepared() const { return m_prepared; }
    const QString &error() const { return m_error; }

private:
    struct Row
    {
        QString category;
        QLabel *tile = nullptr;
        QLabel *status = nullptr;
        QPushButton *upload = nullptr;
        QPushButton *prepare = nullptr;
        QWidget *preparedMark = nullptr;
        QProgressBar *progress = nullptr;
    };

    static QCoro::Task<> runUpload(QPointer<MacAssetManagerSheet> self, APIClient *client, QString projectID,
                                   QString itemID, QString category, QString path,
                                   UploadedHandler onUploaded);
    static QCoro::Task<> runPrepare(QPointer<MacAssetManagerSheet> self, APIClient *client, QString projectID,
                                    QString itemID, QString category, QString filename, QString assetID);
    QWidget *buildRow(Row &row, const QString &title, const QString &symbol);
    void openPicker(const QString &category);
    bool hasAsset(const QString &category) const;
    QString fileName(const QString &category) const;
    void updateControls();

    APIClient &m_client;
    QString m_projectID;
    RundownItem m_item;
    bool m_canUpload;
    UploadedHandler m_onUploaded;

    QString m_preparing;
    QString m_uploading;
    QSet<QString> m_prepared;
    QString m_error;
    bool m_audioImporter = false;
    bool m_videoImporter = false;

    Row m_audio;
    Row m_video;
    QLabel *m_errorLabel = nullptr;
};
