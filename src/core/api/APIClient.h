#pragma once

#include "api/APIClientError.h"
#include "api/AccessTokenStoring.h"
#include "api/ProjectDetailReader.h"
#include "api/SessionBootstrapClient.h"
#include "models/Admin.h"
#include "models/EmptyResponse.h"
#include "models/Envelopes.h"
#include "models/Lottery.h"
#include "models/Payloads.h"
#include "models/ProjectRecords.h"
#include "models/Rundown.h"
#include "models/WorkItems.h"
#include "json/Json.h"

#include <QCoro/QCoroTask>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QUrl>

#include <memory>
#include <optional>
#include <type_traits>

class CurlSession;

// The one gateway to the show service. Every operation makes exactly one request.
// Coroutine parameters are taken by value on purpose: a reference would dangle across co_await.
class APIClient : public QObject, public SessionBootstrapClient
{
    Q_OBJECT

public:
    static constexpr qint64 defaultUploadSizeLimit = 209715200;

    // The process-wide client, made on first use from TAVIK_API_BASE_URL / TAVIK_BLOCK_PRODUCTION
    // (read once), with the keychain store; parented to the application object.
    static APIClient &shared();
    static QString productionHost(); // "api.quillory.example"

    // The environment's values, as shared() reads them; nullopt when the variable is absent.
    static bool blocksProductionSetting(const std::optional<QByteArray> &value);
    struct BaseURLSetting
    {
        QUrl url;
        QString error; // empty when the value is usable
    };
    static BaseURLSetting baseURLSetting(const std::optional<QString> &value);

    // RFC 3986 query encoding of one value, with "&", "=", "+" and "#" encoded as well so a value
    // can never split the query or end it.
    static QString encodeQueryValue(const QString &value);
    // Where a downloaded asset goes: a plain file name (no separators) in downloadFolder().
    // The asset's id is part of it, so a replaced asset of the same file name never overwrites the
    // copy of the asset it replaced.
    static QString assetFileName(const QString &projectID, const QString &itemID, const QString &category,
                                 const QString &assetID, const QString &filename);
    // This run's folder of downloads in the temporary folder, made on first use and removed at
    // exit; no other running copy touches it. Throws FileError. Blocks on the file system.
    static QString downloadFolder();
    // Whether `path` can be a download of this run's: a name of assetFileName's shape right in
    // downloadFolder().
    static bool isDownloadPath(const QString &path);
    // Removes from `folder` (the temporary folder at start) the download folders of copies that
    // have ended, and what earlier versions left in it: this run's cache maps none of them. A
    // running copy's folder stays. Blocks on the file system: meant for a pool thread at start.
    static void removeStaleDownloads(const QString &folder);

    APIClient(QUrl baseURL, std::shared_ptr<AccessTokenStoring> tokenStore, bool blocksProduction,
              QObject *parent = nullptr);

    QUrl baseURL() const;
    bool blocksProduction() const;
    AccessTokenStoring &tokenStore() const;
    // Tests call clearConnectionCache() on it. Downloads, which libcurl performs, count among its
    // replies while they run.
    QNetworkAccessManager &network();
    // Empty when the configuration is usable; otherwise a message naming TAVIK_API_BASE_URL.
    QString configurationError() const;
    void setUploadSizeLimit(qint64 bytes); // tests only

    QCoro::Task<> requestCode(QString phone);
    QCoro::Task<> login(QString phone, QString code, QString name);
    QCoro::Task<SessionResponse> session() override;
    QCoro::Task<NicknameMutationResponse> updateNickname(QString nickname);
    QCoro::Task<ProjectsResponse> projects() override;
    QCoro::Task<CreateProjectResponse> createProject(QString name, QString eventDate, QString startTime);
    QCoro::Task<RundownItemMutationResponse> addRundownItem(QString projectID);
    QCoro::Task<RundownImportPreview> previewRundownImport(QString projectID, QByteArray content);
    QCoro::Task<> replaceRundown(QString projectID, QList<RundownItem> items);
    QCoro::Task<RundownExportResponse> exportRundown(QString projectID);
    QCoro::Task<ProjectDetailResponse> project(QString id);
    // The same, read by `reader` against the answer its page last accepted.
    QCoro::Task<ProjectDetailReader::Reading> project(QString id,
                                                      std::shared_ptr<const ProjectDetailReader> reader);
    QCoro::Task<WorkItemsSnapshot> workItems(QString projectID);
    QCoro::Task<WorkItemMutationResponse> createWorkItem(QString projectID, WorkItemKind kind, QString itemID,
                                                         QString assigneeMemberID, QString title,
                                                         QString description, WorkItemPriority priority);
    QCoro::Task<WorkItemMutationResponse> updateWorkItem(QString projectID, QString id, WorkItemPatch patch);
    QCoro::Task<LiveControlResponse> liveAction(QString projectID, QString itemID, QString action);
    QCoro::Task<LiveControlResponse> resetLive(QString projectID);
    QCoro::Task<ProjectMutationResponse> freezeFlow(QString projectID, bool frozen);
    QCoro::Task<> updateItem(QString projectID, QString itemID, RundownItemPatch patch);
    QCoro::Task<> reorderItems(QString projectID, QStringList itemIDs);
    QCoro::Task<PerformerGroupMutationResponse> decidePerformerGroup(QString projectID, QString name,
                                                                     QString decision);
    QCoro::Task<PerformerGroupMutationResponse> updatePerformerGroupMember(QString projectID, QString groupID,
                                                                           QString memberID, bool add);
    QCoro::Task<CheckInResponse> checkIn(QString projectID, QString memberID, bool checkedIn);
    QCoro::Task<> updateMember(QString projectID, ProjectMember member, QString name, QString role,
                               QString detail, QString passAreas);
    QCoro::Task<InvitationResponse> createInvitation(QString projectID, QString name, QString role,
                                                     std::optional<QString> phone,
                                                     std::optional<QString> itemID,
                                                     std::optional<QString> field,
                                                     std::optional<QString> groupID);
    QCoro::Task<> sendInvitationSMS(QString token, QString phone);
    QCoro::Task<LotteryState> lottery(QString projectID, QString itemID);
    QCoro::Task<LotteryMutationResponse> saveLottery(QString projectID, QString itemID, QString mode,
                                                     QList<LotteryPrize> prizes);
    QCoro::Task<LotteryMutationResponse> setLotteryScreen(QString projectID, QString itemID, QString mode);
    QCoro::Task<LotteryMutationResponse> setLotteryMode(QString projectID, QString itemID, QString mode);
    QCoro::Task<LotteryMutationResponse> setLotteryEntry(QString projectID, QString itemID, bool open);
    QCoro::Task<LotteryMutationResponse> startLotteryDraw(QString projectID, QString itemID, QString prizeID);
    QCoro::Task<LotteryMutationResponse> stopLotteryDraw(QString projectID, QString itemID);
    QCoro::Task<LotteryMutationResponse> resetLotteryRehearsal(QString projectID, QString itemID);
    QCoro::Task<LotteryMutationResponse> markLotteryNoShow(QString projectID, QString itemID, QString winID);
    QCoro::Task<LotteryMutationResponse> claimLottery(QString projectID, QString itemID, QString phone);
    QCoro::Task<AdminOverviewResponse> adminOverview();
    QCoro::Task<AdminUsersResponse> adminUsers();
    QCoro::Task<AdminProjectsResponse> adminProjects();
    QCoro::Task<AdminProjectDetailResponse> adminProject(QString id);
    QCoro::Task<AdminAssetsResponse> adminAssets();
    QCoro::Task<AdminLogsResponse> adminLogs();
    QCoro::Task<> setAdminAccountStatus(QString id, QString status);
    QCoro::Task<> setAdminProjectStatus(QString id, QString status);
    QCoro::Task<> transferAdminProject(QString id, QString targetAccountID);
    QCoro::Task<> archiveAdminAsset(QString id);
    QCoro::Task<> restoreAdminAsset(QString id);
    QCoro::Task<LotteryMutationResponse> lotteryAction(QString projectID, QString itemID,
                                                       LotteryActionPayload payload);
    QString lotteryPath(const QString &projectID, const QString &itemID) const;
    QCoro::Task<> confirmNotice(QString projectID);
    QCoro::Task<OperationsMutationResponse> saveOperations(QString projectID, ProjectOperations operations);
    QCoro::Task<> saveMakeupShift(QString projectID, MakeupShift shift);
    QCoro::Task<> saveMakeup(QString projectID, MakeupAssignment assignment);
    // Returns the local file path of the downloaded copy. `assetID` is the id the item names for
    // the category; it only names the file.
    QCoro::Task<QString> downloadAsset(QString projectID, QString itemID, QString category, QString assetID,
                                       QString filename);
    QCoro::Task<AssetUploadResponse> uploadAsset(QString projectID, QString itemID, QString category,
                                                 QString filePath, qint64 durationSeconds);
    QCoro::Task<> logout(); // never throws

    // The request routine. Public because later pages build some requests through it directly.
    template<typename T>
    QCoro::Task<T> send(QString path, QByteArray method, std::optional<QByteArray> body, bool authenticated)
    {
        const QByteArray answer =
            co_await sendForBody(std::move(path), std::move(method), std::move(body), authenticated);
        if constexpr (std::is_same_v<T, EmptyResponse>) {
            // Services answer "nothing" as no body or a bare "{}"; both mean no `ok`.
            if (answer.isEmpty() || answer == QByteArrayLiteral("{}")) {
                co_return EmptyResponse{};
            }
        }
        co_return json::decode<T>(answer);
    }

Q_SIGNALS:
    // An ordinary request has been handed to the network, its keychain read done; one without a
    // body then leaves without this thread. A page that is opening builds what can wait after it.
    void requestSent();

private:
    // Everything a request needs, captured before the first suspension so the coroutines never
    // reach back into the client after it.
    struct RequestContext
    {
        std::shared_ptr<AccessTokenStoring> tokenStore;
        QPointer<QNetworkAccessManager> network;
        QPointer<CurlSession> downloads;
        bool blocksProduction = false;
        QPointer<APIClient> client;
    };

    RequestContext context();
    // Runs one ordinary request; returns the body of a 2xx answer, throws for everything else.
    QCoro::Task<QByteArray> sendForBody(QString path, QByteArray method, std::optional<QByteArray> body,
                                        bool authenticated);
    QCoro::Task<> sendEmpty(QString path, QByteArray method, QByteArray body);
    // The service's root with `path` in place of the base's path; nullopt when unusable.
    std::optional<QUrl> requestURL(const QString &path) const;
    // The base URL, its path kept, with "/api/assets" appended and the given raw query.
    std::optional<QUrl> assetURL(const QString &query) const;
    static void assertAllowed(bool blocksProduction, const QUrl &url);
    static void announceSent(const RequestContext &ctx);

    QUrl m_baseURL;
    std::shared_ptr<AccessTokenStoring> m_tokenStore;
    bool m_blocksProduction;
    QString m_configurationError;
    qint64 m_uploadSizeLimit = defaultUploadSizeLimit;
    QNetworkAccessManager *m_network;
    CurlSession *m_downloads;
};
