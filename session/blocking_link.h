#pragma once

#include "event_wait.h"
#include "sensor_session.h"

namespace tvx {

// The session's asynchronous calls for routines that go step by step: each call returns with
// the outcome, serving events as `mode` says meanwhile (a callback started from the wait runs to
// its end first). Nothing spins: the thread sleeps in the wait until the session reports.

OpenResult OpenAndWait(SensorSession& session, const SensorAddress& address, WaitMode mode);

ExchangeResult ExchangeAndWait(SensorSession& session, const QByteArray& request,
                               const ExchangeLimits& limits, WaitMode mode);

}  // namespace tvx
