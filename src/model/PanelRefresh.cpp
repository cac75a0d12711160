#include "model/PanelRefresh.h"

namespace corvane {

struct PanelRefresh::Job {
    bool cancelled = false;
    bool lookupDone = false;
    std::optional<bool> probeResult;
};

PanelRefresh::PanelRefresh(PublicAddressLookup& lookup, DishProbe& dish, QObject* parent)
    : QObject(parent), lookup_(lookup), dish_(dish)
{}

PanelRefresh::~PanelRefresh() = default;

void PanelRefresh::start(bool lookUpAddress)
{
    cancel();
    auto job = std::make_shared<Job>();
    job_ = job;
    probe_ = dish_.reachable(this, [this, job](bool reachable) {
        job->probeResult = reachable;
        finish(job);
    });

    if (!lookUpAddress) {
        job->lookupDone = true;
        finish(job);
        return;
    }
    if (lookupsInFlight_++ == 0)
        Q_EMIT fetchingChanged();
    lookup_.fetch(this, [this, job, epoch = lookupEpoch_](std::optional<QString> address) {
        if (!job->cancelled && address && epoch == lookupEpoch_)
            Q_EMIT addressFound(*address);
        if (--lookupsInFlight_ == 0)
            Q_EMIT fetchingChanged();
        job->lookupDone = true;
        finish(job);
    });
}

void PanelRefresh::finish(const std::shared_ptr<Job>& job)
{
    if (!job->lookupDone || !job->probeResult)
        return;
    if (!job->cancelled)
        Q_EMIT dishAnswered(*job->probeResult);
    if (job_ == job)
        job_.reset();
    Q_EMIT finished();
}

void PanelRefresh::cancel()
{
    if (!job_)
        return;
    const std::shared_ptr<Job> job = std::move(job_);
    job->cancelled = true;
    probe_.cancel(); // delivers false now; the job ends once its lookup is back
}

} // namespace corvane
