// DnsServiceCalls: the calls of Windows' own DNS-SD registration (dnsapi.dll, Windows 10 version 1903 and
// later) and the structures they pass, declared in plain types after their documented layouts, so that code
// without the system's headers (the tests) can stand in for the system. Only the Windows build uses it;
// NativeDnsSd is the registration made with them.
#pragma once

#include <chrono>
#include <string>

// Windows' fixed-size integers: DWORD and ULONG (32 bits on Windows), WORD, BOOL.
using DnsDword = unsigned long;
using DnsWord = unsigned short;
using DnsBool = int;

// DNS_SERVICE_INSTANCE: a service instance as the system builds, registers and returns it.
struct DnsServiceInstance {
    wchar_t* instanceName;  // "<name>.<type>.local"
    wchar_t* hostName;      // "<computer>.local"
    DnsDword* ip4Address;
    void* ip6Address;
    DnsWord port;
    DnsWord priority;
    DnsWord weight;
    DnsDword propertyCount;  // the TXT entries, as keys and values
    wchar_t** keys;
    wchar_t** values;
    DnsDword interfaceIndex;
};

// DNS_SERVICE_REGISTER_COMPLETE: the answer to a registration or a withdrawal, on a thread of the system's.
using DnsServiceRegisterComplete = void (*)(DnsDword status, void* context, DnsServiceInstance* instance);

// DNS_SERVICE_REGISTER_REQUEST
struct DnsServiceRegisterRequest {
    DnsDword version;
    DnsDword interfaceIndex;  // 0: every interface
    DnsServiceInstance* serviceInstance;
    DnsServiceRegisterComplete completion;
    void* context;  // handed to completion
    void* credentials;
    DnsBool unicastEnabled;
};

// DNS_SERVICE_CANCEL
struct DnsServiceCancel {
    void* reserved;
};

// The calls a registration makes: dnsapi.dll's four, and where the computer's name comes from.
struct DnsServiceCalls {
    DnsServiceInstance* (*constructInstance)(const wchar_t* instanceName, const wchar_t* hostName,
                                             DnsDword* ip4Address, void* ip6Address, DnsWord port,
                                             DnsWord priority, DnsWord weight, DnsDword propertyCount,
                                             const wchar_t** keys, const wchar_t** values);
    DnsDword (*registerService)(DnsServiceRegisterRequest* request, DnsServiceCancel* cancel);
    DnsDword (*deregisterService)(DnsServiceRegisterRequest* request, DnsServiceCancel* cancel);
    void (*freeInstance)(DnsServiceInstance* instance);
    // The computer's DNS host name without its domain, or "" when the system cannot say (null: the system's).
    std::wstring (*computerName)();
    // DnsServiceRegisterCancel: cancels a registration still waiting for its answer, through the
    // DNS_SERVICE_CANCEL that registerService filled. Null when the system lacks it.
    DnsDword (*cancelRegistration)(DnsServiceCancel* cancel);
};

// The status with which registerService and deregisterService accept a request they answer later.
constexpr DnsDword DnsRequestPending = 9506;

// Makes later registrations use calls instead of dnsapi.dll's, and wait at most answerLimit for an answer;
// null restores the system's calls and its limit.
void setDnsServiceCallsForTests(const DnsServiceCalls* calls, std::chrono::milliseconds answerLimit);
