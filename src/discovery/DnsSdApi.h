// The calls of the DNS-SD client library that the bridge makes, declared from the library's public
// documentation so that nothing of it is needed to build: the library is loaded at run time, and its
// absence only disables the advertisement.
#pragma once

#include <cstdint>

using DNSServiceRef = struct DnsSdServiceOpaque*;
using DNSServiceFlags = uint32_t;
using DNSServiceErrorType = int32_t;
constexpr DNSServiceErrorType kDNSServiceErr_NoError = 0;

// The TXT record builder's 16-byte reference.
union TXTRecordRef {
    char privateData[16];
    char* forceNaturalAlignment;
};

using DNSServiceRegisterReply = void (*)(DNSServiceRef service, DNSServiceFlags flags, DNSServiceErrorType error,
                                         const char* name, const char* registrationType, const char* domain,
                                         void* context);

using DNSServiceBrowseReply = void (*)(DNSServiceRef service, DNSServiceFlags flags, uint32_t interfaceIndex,
                                       DNSServiceErrorType error, const char* name, const char* registrationType,
                                       const char* domain, void* context);
using DNSServiceResolveReply = void (*)(DNSServiceRef service, DNSServiceFlags flags, uint32_t interfaceIndex,
                                        DNSServiceErrorType error, const char* fullName, const char* hostTarget,
                                        uint16_t portInNetworkOrder, uint16_t txtLength, const unsigned char* txtRecord,
                                        void* context);
using DNSServiceQueryRecordReply = void (*)(DNSServiceRef service, DNSServiceFlags flags, uint32_t interfaceIndex,
                                            DNSServiceErrorType error, const char* fullName, uint16_t recordType,
                                            uint16_t recordClass, uint16_t dataLength, const void* data, uint32_t ttl,
                                            void* context);
constexpr DNSServiceFlags kDNSServiceFlagsMoreComing = 0x1;
constexpr DNSServiceFlags kDNSServiceFlagsAdd = 0x2;
constexpr uint16_t kDNSServiceType_A = 1;
constexpr uint16_t kDNSServiceType_AAAA = 28;
constexpr uint16_t kDNSServiceClass_IN = 1;

using DNSServiceBrowseFunction = DNSServiceErrorType (*)(DNSServiceRef* service, DNSServiceFlags flags,
                                                         uint32_t interfaceIndex, const char* registrationType,
                                                         const char* domain, DNSServiceBrowseReply reply,
                                                         void* context);
using DNSServiceResolveFunction = DNSServiceErrorType (*)(DNSServiceRef* service, DNSServiceFlags flags,
                                                          uint32_t interfaceIndex, const char* name,
                                                          const char* registrationType, const char* domain,
                                                          DNSServiceResolveReply reply, void* context);
using DNSServiceQueryRecordFunction = DNSServiceErrorType (*)(DNSServiceRef* service, DNSServiceFlags flags,
                                                              uint32_t interfaceIndex, const char* fullName,
                                                              uint16_t recordType, uint16_t recordClass,
                                                              DNSServiceQueryRecordReply reply, void* context);

using DNSServiceRegisterFunction = DNSServiceErrorType (*)(DNSServiceRef* service, DNSServiceFlags flags,
                                                           uint32_t interfaceIndex, const char* name,
                                                           const char* registrationType, const char* domain,
                                                           const char* host, uint16_t portInNetworkOrder,
                                                           uint16_t txtLength, const void* txtRecord,
                                                           DNSServiceRegisterReply reply, void* context);
using DNSServiceProcessResultFunction = DNSServiceErrorType (*)(DNSServiceRef service);
using DNSServiceRefSockFDFunction = int (*)(DNSServiceRef service);
using DNSServiceRefDeallocateFunction = void (*)(DNSServiceRef service);
using TXTRecordCreateFunction = void (*)(TXTRecordRef* record, uint16_t bufferLength, void* buffer);
using TXTRecordSetValueFunction = DNSServiceErrorType (*)(TXTRecordRef* record, const char* key, uint8_t valueSize,
                                                          const void* value);
using TXTRecordGetLengthFunction = uint16_t (*)(const TXTRecordRef* record);
using TXTRecordGetBytesPtrFunction = const void* (*)(const TXTRecordRef* record);
using TXTRecordDeallocateFunction = void (*)(TXTRecordRef* record);
