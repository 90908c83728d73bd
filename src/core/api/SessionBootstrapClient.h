#pragma once

#include "models/Envelopes.h"

#include <QCoro/QCoroTask>

// What the start-up bootstrap needs of the service: whether the stored token signs someone in,
// and that person's projects. Lets the session store run against a stand-in.
class SessionBootstrapClient
{
public:
    virtual ~SessionBootstrapClient() = default;

    virtual QCoro::Task<SessionResponse> session() = 0;
    virtual QCoro::Task<ProjectsResponse> projects() = 0;
};
