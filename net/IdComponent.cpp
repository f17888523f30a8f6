#include "net/IdComponent.h"

#include <algorithm>

#include "net/IdStack.h"

namespace w20 {

TIdBaseComponent::~TIdBaseComponent() {
    while (!linked_.empty()) {
        TIdBaseComponent& other = *linked_.back();
        linked_.pop_back();
        other.Unlink(*this);
        other.Notification(*this);
    }
}

void TIdBaseComponent::FreeNotification(TIdBaseComponent& other) {
    if (&other == this || std::find(linked_.begin(), linked_.end(), &other) != linked_.end())
        return;
    linked_.push_back(&other);
    other.linked_.push_back(this);
}

void TIdBaseComponent::RemoveFreeNotification(TIdBaseComponent& other) {
    Unlink(other);
    other.Unlink(*this);
}

void TIdBaseComponent::Unlink(TIdBaseComponent& other) {
    linked_.erase(std::remove(linked_.begin(), linked_.end(), &other), linked_.end());
}

TIdComponent::TIdComponent() {
    HoldSharedStack();
}

TIdComponent::~TIdComponent() {
    ReleaseSharedStack();
}

void TIdComponent::ReportStatus(TIdStatus status, const std::string& argument) {
    if (!OnStatus)
        return;
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
        if (OnWorkBegin)
            OnWorkBegin(*this, mode, total);
    }
}

void TIdComponent::WorkProgress(TWorkMode mode, std::int64_t count) {
    WorkRecord& work = work_[mode];
    if (work.level == 0)
        return;
    work.count += count;
    if (OnWork)
        OnWork(*this, mode, work.count);
}

void TIdComponent::WorkEnd(TWorkMode mode) {
    WorkRecord& work = work_[mode];
    // An end without a begin would leave the level below zero and silence the next transfer.
    if (work.level == 0)
        return;
    // Lowered first, so that a handler that raises does not leave the transfer open.
    if (--work.level == 0 && OnWorkEnd)
        OnWorkEnd(*this, mode);
}

}  // namespace w20
