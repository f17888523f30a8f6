#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace w20 {

// Base of the network objects. Objects that refer to one another without owning it are linked,
// so that the one left behind is told when the other is destroyed and can forget it.
class TIdBaseComponent {
public:
    TIdBaseComponent() = default;
    virtual ~TIdBaseComponent();
    TIdBaseComponent(const TIdBaseComponent&) = delete;
    TIdBaseComponent& operator=(const TIdBaseComponent&) = delete;

    // Links the two objects both ways; each is told of the other's destruction through
    // Notification. Linking twice links once.
    void FreeNotification(TIdBaseComponent& other);
    void RemoveFreeNotification(TIdBaseComponent& other);

protected:
    // A linked object is being destroyed; only its address may still be used.
    virtual void Notification(TIdBaseComponent& destroyed) { static_cast<void>(destroyed); }

private:
    void Unlink(TIdBaseComponent& other);

    std::vector<TIdBaseComponent*> linked_;
};

enum TIdStatus {
    StatusResolving,      // "Resolving hostname %s." with the host name
    StatusConnecting,     // "Connecting to %s." with the peer address
    StatusConnected,      // "Connected."
    StatusDisconnecting,  // "Disconnecting."
    StatusDisconnected,   // "Disconnected."
    StatusText,           // the argument itself
};

enum TWorkMode { WorkRead, WorkWrite };

// Base of every network object: optional status and progress events, and a hold on the shared
// socket stack for as long as the object lives (the first object creates it, the last frees it).
class TIdComponent : public TIdBaseComponent {
public:
    TIdComponent();
    ~TIdComponent() override;

    std::function<void(TIdComponent& sender, TIdStatus status, const std::string& text)> OnStatus;
    std::function<void(TIdComponent& sender, TWorkMode mode, std::int64_t total)> OnWorkBegin;
    std::function<void(TIdComponent& sender, TWorkMode mode, std::int64_t count)> OnWork;
    std::function<void(TIdComponent& sender, TWorkMode mode)> OnWorkEnd;

    // Formats the kind's text only when OnStatus is set.
    void ReportStatus(TIdStatus status, const std::string& argument = std::string());

    // Transfers nest per mode: only the outermost begin and end fire their events, and progress
    // outside any transfer fires nothing.
    virtual void WorkBegin(TWorkMode mode, std::int64_t total);
    virtual void WorkProgress(TWorkMode mode, std::int64_t count);
    virtual void WorkEnd(TWorkMode mode);

private:
    struct WorkRecord {
        std::int32_t level = 0;
        std::int64_t total = 0;
        std::int64_t count = 0;
    };
    WorkRecord work_[2];
};

}  // namespace w20
