#include "platform/AddressChangeWatch.h"

#include <winsock2.h>
#include <iphlpapi.h>
#include <windows.h>

namespace {

// How long the watch's end waits for the cancelled notification to complete before it leaves the
// notification's memory to the system for good.
constexpr DWORD CancelWaitMilliseconds = 200;

}  // namespace

// NotifyAddrChange reports changes of the IPv4 address table through an event, without calling back. The
// system writes into overlapped until the notification completes or is cancelled.
struct AddressChangeWatch::System {
    HANDLE event = nullptr;
    HANDLE notification = nullptr;
    OVERLAPPED overlapped{};
    bool armed = false;

    void arm() {
        overlapped = OVERLAPPED{};
        overlapped.hEvent = event;
        armed = NotifyAddrChange(&notification, &overlapped) == ERROR_IO_PENDING;
    }
};

AddressChangeWatch::AddressChangeWatch() : system_(std::make_unique<System>()) {
    system_->event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (system_->event) system_->arm();
}

// A notification that does not end when cancelled keeps its memory: the system may still write there.
AddressChangeWatch::~AddressChangeWatch() {
    if (system_->armed) {
        CancelIPChangeNotify(&system_->overlapped);
        if (WaitForSingleObject(system_->event, CancelWaitMilliseconds) != WAIT_OBJECT_0) {
            static_cast<void>(system_.release());
            return;
        }
    }
    if (system_->event) CloseHandle(system_->event);
}

std::optional<bool> AddressChangeWatch::systemReportedChange() {
    if (!system_->armed) return std::nullopt;
    if (WaitForSingleObject(system_->event, 0) != WAIT_OBJECT_0) return false;
    ResetEvent(system_->event);
    system_->arm();
    return true;
}
