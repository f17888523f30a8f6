#include "net/IdComponent.h"

#include "net/IdStack.h"

namespace w20 {

TIdComponent::TIdComponent() {
    HoldSharedStack();
}

TIdComponent::~TIdComponent() {
    ReleaseSharedStack();
}

void TIdComponent::ReportStatus(TIdStatus status, const std::string& argument) {
    if (!OnStatus) return;
    std::string text;
    switch (status) {
        case StatusResolving:
            text = "Resolving hostname " + argument + ".";
            break;
        case StatusConnecting:
            text = "Connecting to " + argument + ".";
            break;
        case StatusConnected:
            text = "Connected.";
            break;
        case StatusDisconnecting:
            text = "Disconnecting.";
            break;
        case StatusDisconnected:
            text = "Disconnected.";
            break;
        case StatusText:
            text = argument;
            break;
    }
    OnStatus(*this, status, text);
}

void TIdComponent::WorkBegin(TWorkMode mode, std::int64_t total) {
    WorkRecord& work = work_[mode];
    if (++work.level == 1) {
        work.total = total;
        work.count = 0;
        if (OnWorkBegin) OnWorkBegin(*this, mode, total);
    }
}

void TIdComponent::WorkProgress(TWorkMode mode, std::int64_t count) {
    WorkRecord& work = work_[mode];
    if (work.level == 0) return;
    work.count += count;
    if (OnWork) OnWork(*this, mode, work.count);
}

void TIdComponent::WorkEnd(TWorkMode mode) {
    WorkRecord& work = work_[mode];
    // An end without a begin would leave the level below zero and silence the next transfer.
    if (work.level == 0) return;
    // Lowered first, so that a handler that raises does not leave the transfer open.
    if (--work.level == 0 && OnWorkEnd) OnWorkEnd(*this, mode);
}

}  // namespace w20
