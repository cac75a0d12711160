#pragma once

#include "services/SystemPorts.h"

#include <QObject>
#include <QString>
#include <memory>

namespace corvane {

// The work an opening of the panel starts: the dish probe, and the public-address lookup
// when it is switched on. Results of a cancelled opening, and addresses of lookups that
// outlived a switch-off, are dropped. Main thread only.
class PanelRefresh : public QObject {
    Q_OBJECT

public:
    PanelRefresh(PublicAddressLookup& lookup, DishProbe& dish, QObject* parent = nullptr);
    ~PanelRefresh() override;

    // Starts a refresh; a running one is cancelled first.
    void start(bool lookUpAddress);
    // The running refresh's results are dropped; it ends once its lookup is back.
    void cancel();
    // Addresses of the lookups running now are dropped, whichever opening asked for them.
    void dropLookups() { ++lookupEpoch_; }
    bool fetching() const { return lookupsInFlight_ > 0; }

Q_SIGNALS:
    void addressFound(const QString& address);
    void fetchingChanged();
    // The probe's answer, given only once the lookup is over, as one step.
    void dishAnswered(bool reachable);
    // A refresh has ended, completed or cancelled.
    void finished();

private:
    struct Job;
    void finish(const std::shared_ptr<Job>& job);

    PublicAddressLookup& lookup_;
    DishProbe& dish_;
    std::shared_ptr<Job> job_;
    // Held here, not by the job: the probe's callback holds the job, so a job holding the
    // probe would keep both alive for ever when the probe never answers.
    ProbeHandle probe_;
    // Counted rather than a plain flag: a cancelled opening whose lookup returns late must
    // not clear the indicator of a newer opening that is still waiting.
    int lookupsInFlight_ = 0;
    quint64 lookupEpoch_ = 0;
};

} // namespace corvane
