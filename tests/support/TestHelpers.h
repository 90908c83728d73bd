#pragma once

#include <QByteArray>
#include <QFile>
#include <QJsonObject>
#include <QString>

#include <memory>

// A real-player check's need (an audio output, a monitor of it): unmet, the check skips, but it
// fails under tests/support/run-with-audio.sh, which promises a sound server: a skip there would
// pass unseen.
#define REQUIRE_FOR_REAL_PLAYBACK(met, why)                                                                  \
    do {                                                                                                     \
        if (!(met)) {                                                                                        \
            if (qEnvironmentVariableIsSet("QUILLORY_AUDIO_REQUIRED")) {                                      \
                QFAIL(why);                                                                                  \
            }                                                                                                \
            QSKIP(why);                                                                                      \
        }                                                                                                    \
    } while (false)

struct ProjectMember;
class APIClient;
class FakeService;
struct DemoShow;

namespace TestHelpers {

// True once no request of the client is in flight. A client must not go while one is: QCoro never
// resumes a coroutine whose manager was destroyed, and its frame leaks.
bool requestsEnded(APIClient &client);

// Reads a file under tests/fixtures.
QByteArray fixture(const QString &relativePath);

// A member record with the fields a test names.
ProjectMember member(const QString &id, const QString &name, const QString &role = {},
                     const QString &detail = {});

// A new fake service seeded with the demo show into `demo`; false when the service does not start.
bool startDemoService(std::unique_ptr<FakeService> &service, DemoShow &demo);

// A client the service knows as `accountId`.
std::unique_ptr<APIClient> signedInClient(FakeService &service, const QString &accountId);

// Sends one request of no meaning to the service and waits for its answer and for every other
// request of the client to end. A test that asserts something was NOT sent checks after this: a
// wrongly sent request has arrived by then.
bool roundTrip(APIClient &client);

// Lets the client's requests end before it goes (a failed test otherwise), then stops the service.
void shutDown(std::unique_ptr<APIClient> &client, std::unique_ptr<FakeService> &service);

} // namespace TestHelpers
